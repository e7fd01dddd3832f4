#pragma once

#include <QString>
#include <functional>

namespace zm {

// Opens a file or a web address with the system's default handler (a browser, a text
// viewer). Tests install a handler instead, so that nothing is launched.
class SystemOpen {
  public:
    // A path without scheme is a local file; anything with a scheme is opened as an address.
    static bool Open(const QString& target);

    using Handler = std::function<bool(const QString& target)>;
    // An empty handler brings back the system's one.
    static void SetHandler(Handler handler);
};

}  // namespace zm
