#include "base/Paths.h"

#include <climits>
#include <filesystem>
#include <system_error>
#include <vector>

namespace zm {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        if (slash > start) {
            parts.push_back(path.substr(start, slash - start));
        }
        start = slash + 1;
    }
    return parts;
}

std::string Join(const std::vector<std::string>& parts, size_t from = 0) {
    std::string text;
    for (size_t i = from; i < parts.size(); ++i) {
        if (!text.empty()) {
            text += '/';
        }
        text += parts[i];
    }
    return text;
}

bool EndsAsFolder(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    if (path.back() == '/') {
        return true;
    }
    size_t slash = path.rfind('/');
    std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    return last == "." || last == "..";
}

void DeleteBelow(const fs::path& folder, DeleteCounts& counts) {
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        entries.push_back(it->path());
    }
    for (const auto& entry : entries) {
        std::error_code statusError;
        auto status = fs::symlink_status(entry, statusError);
        if (!statusError && fs::is_directory(status)) {
            DeleteBelow(entry, counts);
            std::error_code removeError;
            if (fs::remove(entry, removeError)) {
                ++counts.deletedFolders;
            } else {
                ++counts.failedFolders;
            }
        } else {
            std::error_code removeError;
            if (fs::remove(entry, removeError)) {
                ++counts.deletedFiles;
            } else {
                ++counts.failedFiles;
            }
        }
    }
}

}  // namespace

std::string& NormalizePath(std::string& path) {
    if (path.empty()) {
        return path;
    }
    const bool absolute = path.front() == '/';
    const bool folder = EndsAsFolder(path);
    std::vector<std::string> kept;
    for (auto& part : Split(path)) {
        if (part == ".") {
            continue;
        }
        if (part == "..") {
            if (!kept.empty() && kept.back() != "..") {
                kept.pop_back();
            } else if (!absolute) {
                kept.push_back(part);  // climbing out of a relative start cannot be resolved
            }
            continue;
        }
        kept.push_back(std::move(part));
    }
    std::string result = absolute ? "/" : "";
    result += Join(kept);
    if (kept.empty()) {
        if (!absolute) {
            result = folder ? "./" : ".";
        }
    } else if (folder) {
        result += '/';
    }
    path = std::move(result);
    return path;
}

std::string CombinePath(const std::string& folder, const std::string& file) {
    std::string joined;
    if (!file.empty() && file.front() == '/') {
        joined = file;
    } else {
        std::string base = folder;
        NormalizePath(base);
        joined = base;
        if (!joined.empty() && joined.back() != '/' && !file.empty()) {
            joined += '/';
        }
        joined += file;
    }
    NormalizePath(joined);
    if (joined.size() >= PATH_MAX) {
        return file;
    }
    return joined;
}

std::string RelativePath(const std::string& fromFolder, const std::string& toFile) {
    std::string from = fromFolder;
    std::string to = toFile;
    NormalizePath(from);
    NormalizePath(to);
    if (from.empty() || to.empty() || (from.front() == '/') != (to.front() == '/')) {
        return toFile;
    }
    auto fromParts = Split(from);
    auto toParts = Split(to);
    if (!fromParts.empty() && fromParts.front() == ".") {
        fromParts.erase(fromParts.begin());
    }
    if (!toParts.empty() && toParts.front() == ".") {
        toParts.erase(toParts.begin());
    }
    size_t common = 0;
    while (common < fromParts.size() && common < toParts.size() &&
           fromParts[common] == toParts[common]) {
        ++common;
    }
    std::string result;
    for (size_t i = common; i < fromParts.size(); ++i) {
        if (fromParts[i] == "..") {
            return toFile;  // the folder's own name above a relative start is unknown
        }
        result += "../";
    }
    if (result.empty()) {
        result = "./";
    }
    result += Join(toParts, common);
    if (to.back() == '/' && result.back() != '/') {
        result += '/';
    }
    return result;
}

bool CreateFolderChain(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return true;  // a bare name lies in the current folder
    }
    std::string folder = path.substr(0, slash + 1);
    std::error_code ec;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec);
}

bool DeleteFolderTree(const std::string& folder, DeleteCounts& counts) {
    std::error_code ec;
    fs::path root(folder);
    if (root.has_relative_path() && !root.has_filename()) {
        root = root.parent_path();  // "dir/" names the folder itself
    }
    if (!fs::is_directory(fs::symlink_status(root, ec))) {
        return false;
    }
    DeleteBelow(root, counts);
    if (fs::remove(root, ec)) {
        ++counts.deletedFolders;
        return true;
    }
    ++counts.failedFolders;
    return false;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

}  // namespace zm
