#include "platform/FileIo.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace zm::platform {

namespace {

FileInfo InfoFrom(const struct stat& st) {
    FileInfo info;
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.size = static_cast<std::int64_t>(st.st_size);
    info.mtimeSec = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    info.mtimeNsec = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    info.isRegular = S_ISREG(st.st_mode);
    info.isDirectory = S_ISDIR(st.st_mode);
    info.permissions = static_cast<unsigned>(st.st_mode & 07777);
    info.owner = static_cast<unsigned>(st.st_uid);
    info.group = static_cast<unsigned>(st.st_gid);
    info.ownedByThisProcess = st.st_uid == ::geteuid() && st.st_gid == ::getegid();
    return info;
}

}  // namespace

std::optional<FileInfo> FileInfoOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return InfoFrom(st);
}

std::optional<FileInfo> FileInfoOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return InfoFrom(st);
}

bool PathExists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

bool IsReadableFile(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

bool IsExecutableFile(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

int OpenForRead(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

int OpenForWrite(const std::string& path, unsigned permissions) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, static_cast<mode_t>(permissions));
}

int OpenForAppend(const std::string& path, unsigned permissions) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                  static_cast<mode_t>(permissions));
}

int OpenForOverwrite(const std::string& path, unsigned permissions) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                  static_cast<mode_t>(permissions));
}

int OpenExistingForWrite(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
}

int OpenForReadNoWait(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

// One call instead of resolving every component in user space.
int OpenBeneath(const std::string& root, const std::string& relative) {
#ifdef SYS_openat2
    if (root.empty() || relative.empty())
        return -1;
    int dir = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return -1;
    open_how how{};
    how.flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    int fd = static_cast<int>(::syscall(SYS_openat2, dir, relative.c_str(), &how, sizeof how));
    ::close(dir);
    return fd;
#else
    (void)root;
    (void)relative;
    return -1;
#endif
}

std::string RealPath(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

int OpenForUpdate(const std::string& path, unsigned permissions) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, static_cast<mode_t>(permissions));
}

int CreateNewFile(const std::string& path, unsigned permissions) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                  static_cast<mode_t>(permissions));
}

int CreateUniqueFile(std::string& pattern) {
    return ::mkostemp(pattern.data(), O_CLOEXEC);
}

bool CloseFile(int fd) {
    return ::close(fd) == 0;
}

long ReadFile(int fd, void* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<long>(n);
    }
}

long ReadFileAt(int fd, void* buffer, std::size_t size, std::int64_t offset) {
    for (;;) {
        ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<long>(n);
    }
}

bool WriteFile(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFileAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        offset += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool RewindFile(int fd) {
    return ::lseek(fd, 0, SEEK_SET) == 0;
}

std::int64_t SeekFileEnd(int fd, std::int64_t back) {
    return static_cast<std::int64_t>(::lseek(fd, -static_cast<off_t>(back), SEEK_END));
}

std::int64_t FilePosition(int fd) {
    return static_cast<std::int64_t>(::lseek(fd, 0, SEEK_CUR));
}

bool TruncateFile(int fd, std::int64_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

bool SyncFile(int fd) {
    return ::fsync(fd) == 0;
}

bool TryLockFile(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool LockFile(int fd) {
    int rc;
    while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    return rc == 0;
}

bool SetFilePermissions(int fd, unsigned permissions) {
    return ::fchmod(fd, static_cast<mode_t>(permissions)) == 0;
}

bool SetFileOwner(int fd, unsigned owner, unsigned group) {
    return ::fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group)) == 0;
}

bool SetPathPermissions(const std::string& path, unsigned permissions) {
    return ::chmod(path.c_str(), static_cast<mode_t>(permissions)) == 0;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool SyncFolder(const std::string& path) {
    const int dir = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        return false;
    }
    const bool ok = ::fsync(dir) == 0;
    ::close(dir);
    return ok;
}

}  // namespace zm::platform
