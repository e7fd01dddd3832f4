#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Plain file input and output below std::filesystem: what durable replacement, file locks
// and appends to shared logs need. A file is an int descriptor on every system (the C
// runtime's on Windows), so callers can hand it on without knowing the system.
namespace zm::platform {

// What the system tells of a file. Device and inode identify it; together with size and
// modification time they tell whether it was replaced or written since the last look.
struct FileInfo {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    bool isRegular = false;
    bool isDirectory = false;
    unsigned permissions = 0;  // the mode bits 07777; 0 where the system has none
    unsigned owner = 0;
    unsigned group = 0;
    bool ownedByThisProcess = true;  // owner and group are this process's effective ones
};

std::optional<FileInfo> FileInfoOf(const std::string& path);
std::optional<FileInfo> FileInfoOf(int fd);

bool PathExists(const std::string& path);
bool IsReadableFile(const std::string& path);
bool IsExecutableFile(const std::string& path);

// Each returns -1 on failure. Descriptors are never inherited by child processes.
int OpenForRead(const std::string& path);
// Write only, created with `permissions` when missing, never truncated.
int OpenForWrite(const std::string& path, unsigned permissions = 0666);
// Every write goes to the end, whole, also beside other appenders.
int OpenForAppend(const std::string& path, unsigned permissions);
// Write only, created or emptied.
int OpenForOverwrite(const std::string& path, unsigned permissions);
// Write only, an existing file, not emptied.
int OpenExistingForWrite(const std::string& path);
// Read only, without waiting for a device or a pipe with no writer.
int OpenForReadNoWait(const std::string& path);
// Opens `relative` below the folder `root` for reading (not waiting, as above) when the
// system can check in the same step that no part of the path, links included, leads out
// of root; -1 otherwise (a missing file, a link out, a system without that check), and
// the caller decides the slow way.
int OpenBeneath(const std::string& root, const std::string& relative);
// The absolute path without links, "." or ".."; empty when it does not exist.
std::string RealPath(const std::string& path);
// Read and write, created with `permissions` when missing.
int OpenForUpdate(const std::string& path, unsigned permissions);
// A new file; fails when the name exists.
int CreateNewFile(const std::string& path, unsigned permissions);
// A new private file whose name is `pattern` with its last six characters ("XXXXXX")
// replaced; `pattern` receives the name.
int CreateUniqueFile(std::string& pattern);

// False when the system reports an error (the descriptor is gone either way).
bool CloseFile(int fd);

// Bytes read (0 at the end), -1 on error; interrupted calls are repeated.
long ReadFile(int fd, void* buffer, std::size_t size);
long ReadFileAt(int fd, void* buffer, std::size_t size, std::int64_t offset);
// Writes all bytes; false on an error or when the file takes no more.
bool WriteFile(int fd, const void* data, std::size_t size);
bool WriteFileAt(int fd, const void* data, std::size_t size, std::int64_t offset);

bool RewindFile(int fd);
// The new position, -1 on error: `back` bytes before the end, or where it is now.
std::int64_t SeekFileEnd(int fd, std::int64_t back = 0);
std::int64_t FilePosition(int fd);
bool TruncateFile(int fd, std::int64_t size);
// Returns once the bytes written are on the disk.
bool SyncFile(int fd);

// An exclusive lock on the whole file, advisory between the processes that ask for it,
// released when the descriptor closes. Does not wait.
bool TryLockFile(int fd);
// The same lock, waiting until the other holder lets go.
bool LockFile(int fd);

// Mode bits and owner, where the system has them (elsewhere true, nothing changes).
bool SetFilePermissions(int fd, unsigned permissions);
bool SetFileOwner(int fd, unsigned owner, unsigned group);
bool SetPathPermissions(const std::string& path, unsigned permissions);

// Puts `from` in the place of `to` in one step: a reader sees the old or the new file,
// never a mix, and nothing in between.
bool ReplaceFile(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// Makes a rename or a new name in the folder durable, where the system needs that asked
// separately (elsewhere true).
bool SyncFolder(const std::string& path);

}  // namespace zm::platform
