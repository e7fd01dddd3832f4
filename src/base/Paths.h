#pragma once

#include <string>

namespace zm {

// Resolves "." and ".." components in place: each ".." is removed together with the
// component before it, each "." is removed, repeated "/" become one. A ".." that would
// climb above the root of an absolute path is dropped; at the start of a relative path
// it stays. A path that ends in "/", ".", or ".." keeps (or gets) its final "/".
std::string& NormalizePath(std::string& path);

// folder/file, normalised. A file given with an absolute path stands alone.
std::string CombinePath(const std::string& folder, const std::string& file);

// The path of the file as seen from the folder ("../x/y.kml", "./y.kml"), both normalised
// first. The file path unchanged when there is no relative path (one of them absolute
// and the other not).
std::string RelativePath(const std::string& fromFolder, const std::string& toFile);

// Makes sure the folder that holds the path exists (the path itself when it ends in "/"),
// creating every missing level. True when it exists afterwards.
bool CreateFolderChain(const std::string& path);

struct DeleteCounts {
    int deletedFiles = 0;
    int deletedFolders = 0;
    int failedFiles = 0;
    int failedFolders = 0;
};

// Deletes everything below the folder and then the folder, adding to the counts.
// Symbolic links are removed as links; what they point to is left alone. True when the
// folder itself is gone.
bool DeleteFolderTree(const std::string& folder, DeleteCounts& counts);

// The path names an existing file or folder.
bool FileExists(const std::string& path);

}  // namespace zm
