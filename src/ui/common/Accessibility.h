#pragma once

namespace zm {

// Our painted controls (the label, the plain panel, the alarm image) are plain widgets to
// Qt, which would report them as "client" areas without text. This gives each its role;
// their names are kept in accessibleName. Safe to call many times; the controls call it
// themselves.
void InstallAccessibleFactory();

}  // namespace zm
