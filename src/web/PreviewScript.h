#pragma once

namespace zm {

// The preview page's script and style sheet, served as files of their own
// (PreviewRecord::kScriptPath, kStylePath): the page itself holds no script or style, so
// that its content security policy can forbid every inline one.
const char* PreviewScript();
const char* PreviewStyle();

}  // namespace zm
