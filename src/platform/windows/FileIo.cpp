#include "platform/FileIo.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>

#include "Wide.h"

// Descriptors are the C runtime's, so that callers keep their int; the Windows handle
// under each serves what the runtime lacks (locks, identity, write-through).
namespace zm::platform {

namespace {

int Open(const std::string& path, int flags, unsigned permissions) {
    const int mode = (permissions & 0200) ? (_S_IREAD | _S_IWRITE) : _S_IREAD;
    return _wopen(Wide(path).c_str(), flags | _O_BINARY | _O_NOINHERIT, mode);
}

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

std::optional<FileInfo> InfoFromHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION data{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &data))
        return std::nullopt;
    FileInfo info;
    info.device = data.dwVolumeSerialNumber;
    info.inode = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                          data.nFileSizeLow);
    // 100 ns ticks since 1601.
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    info.mtimeSec = static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
    info.mtimeNsec = static_cast<std::int64_t>(ticks % 10000000ULL) * 100;
    info.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.isRegular = !info.isDirectory && (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
    info.permissions = 0;
    info.ownedByThisProcess = true;
    return info;
}

}  // namespace

std::optional<FileInfo> FileInfoOf(const std::string& path) {
    HANDLE handle = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    std::optional<FileInfo> info = InfoFromHandle(handle);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return info;
}

std::optional<FileInfo> FileInfoOf(int fd) {
    return InfoFromHandle(HandleOf(fd));
}

bool PathExists(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsReadableFile(const std::string& path) {
    return _waccess(Wide(path).c_str(), 4) == 0;
}

bool IsExecutableFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int OpenForRead(const std::string& path) {
    return Open(path, _O_RDONLY, 0);
}

int OpenForWrite(const std::string& path, unsigned permissions) {
    return Open(path, _O_WRONLY | _O_CREAT, permissions);
}

int OpenForAppend(const std::string& path, unsigned permissions) {
    return Open(path, _O_WRONLY | _O_CREAT | _O_APPEND, permissions);
}

int OpenForOverwrite(const std::string& path, unsigned permissions) {
    return Open(path, _O_WRONLY | _O_CREAT | _O_TRUNC, permissions);
}

int OpenExistingForWrite(const std::string& path) {
    return Open(path, _O_WRONLY, 0);
}

int OpenForReadNoWait(const std::string& path) {
    return Open(path, _O_RDONLY, 0);
}

// Windows has no open that refuses links out of a folder: the caller checks the real path.
int OpenBeneath(const std::string&, const std::string&) {
    return -1;
}

std::string RealPath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(std::filesystem::path(Wide(path)), ec);
    return ec ? std::string() : PortablePath(real.wstring());
}

int OpenForUpdate(const std::string& path, unsigned permissions) {
    return Open(path, _O_RDWR | _O_CREAT, permissions);
}

int CreateNewFile(const std::string& path, unsigned permissions) {
    return Open(path, _O_WRONLY | _O_CREAT | _O_EXCL, permissions);
}

int CreateUniqueFile(std::string& pattern) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<std::uint64_t> counter{0};
    if (pattern.size() < 6)
        return -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t seed = static_cast<std::uint64_t>(
                                 std::chrono::steady_clock::now().time_since_epoch().count()) ^
                             (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL) ^ GetCurrentProcessId();
        for (size_t i = pattern.size() - 6; i < pattern.size(); ++i) {
            pattern[i] = kChars[seed % 36];
            seed /= 36;
        }
        int fd = Open(pattern, _O_RDWR | _O_CREAT | _O_EXCL, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool CloseFile(int fd) {
    return _close(fd) == 0;
}

long ReadFile(int fd, void* buffer, std::size_t size) {
    return _read(fd, buffer, static_cast<unsigned>(size));
}

long ReadFileAt(int fd, void* buffer, std::size_t size, std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (!::ReadFile(HandleOf(fd), buffer, static_cast<DWORD>(size), &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return static_cast<long>(got);
}

bool WriteFile(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const int n = _write(fd, p, static_cast<unsigned>(size));
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFileAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD put = 0;
    return ::WriteFile(HandleOf(fd), data, static_cast<DWORD>(size), &put, &at) && put == size;
}

bool RewindFile(int fd) {
    return _lseeki64(fd, 0, SEEK_SET) == 0;
}

std::int64_t SeekFileEnd(int fd, std::int64_t back) {
    return _lseeki64(fd, -back, SEEK_END);
}

std::int64_t FilePosition(int fd) {
    return _lseeki64(fd, 0, SEEK_CUR);
}

bool TruncateFile(int fd, std::int64_t size) {
    return _chsize_s(fd, size) == 0;
}

bool SyncFile(int fd) {
    return FlushFileBuffers(HandleOf(fd)) != 0;
}

bool TryLockFile(int fd) {
    OVERLAPPED whole{};
    return LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                      MAXDWORD, MAXDWORD, &whole) != 0;
}

bool LockFile(int fd) {
    OVERLAPPED whole{};
    return LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
}

// Access on Windows is the folder's inherited access list; there are no mode bits.
bool SetFilePermissions(int, unsigned) {
    return true;
}

bool SetFileOwner(int, unsigned, unsigned) {
    return true;
}

bool SetPathPermissions(const std::string&, unsigned) {
    return true;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) != 0;
}

// A rename on NTFS is journaled with the folder; there is nothing to ask for.
bool SyncFolder(const std::string&) {
    return true;
}

}  // namespace zm::platform
