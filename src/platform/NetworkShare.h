#pragma once

#include <string>

// Publishing a folder to the local network, and opening files up for everyone to read.
namespace zm::platform {

struct ShareResult {
    bool reached = false;   // the system's share service could be asked at all
    bool ok = false;        // it did what was asked
    bool notFound = false;  // a removal found no share of that name
    std::string detail;     // what went wrong, as plain text; empty when ok
};

// Publishes `folder` (no trailing separator) read-only under `name`.
ShareResult AddNetworkShare(const std::string& name, const std::string& folder,
                            const std::string& remark);
ShareResult RemoveNetworkShare(const std::string& name);

// Gives everyone read access to a file or folder (folders: also to enter them), or takes
// it away again. The error text, empty on success.
std::string SetEveryoneCanRead(const std::string& path, bool isDirectory, bool grant);

}  // namespace zm::platform
