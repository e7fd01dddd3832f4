#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace zm::fuzz {

// The input as text, whatever bytes it holds.
inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Takes bytes off the front of the input to choose paths through a target; what is left is
// the input proper.
class InputReader {
  public:
    InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() {
        if (size_ == 0)
            return 0;
        --size_;
        return *data_++;
    }
    std::string_view Rest() const { return AsText(data_, size_); }
    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

  private:
    const uint8_t* data_;
    size_t size_;
};

// One folder per process for targets whose parser reads a file. It lives in memory when
// the machine has /dev/shm, is emptied before each input (an ANSI file leaves a dated
// backup copy beside it) and removed at exit. Each file written gets a modification time
// of its own, so no cached parse of the previous input can pass for this one.
class ScratchFolder {
  public:
    static ScratchFolder& Get() {
        static ScratchFolder folder;
        return folder;
    }
    // Writes the bytes as the file `name` in the emptied folder and returns its path.
    std::string Put(const std::string& name, std::string_view bytes) {
        Clear();
        const std::string path = path_ + name;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            std::abort();
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                std::abort();
            done += static_cast<size_t>(n);
        }
        const timespec stamp[2] = {{0, UTIME_OMIT},
                                   {1, static_cast<long>(++written_ % 1000000000)}};
        futimens(fd, stamp);
        close(fd);
        return path;
    }
    const std::string& Path() const { return path_; }
    // Lock files stay: the INI layer keeps them open for the life of the process.
    void Clear() {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(path_, ec))
            if (!entry.path().filename().string().starts_with("."))
                std::filesystem::remove_all(entry.path(), ec);
    }

  private:
    ScratchFolder() {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string templ = base + "/zm-fuzz-XXXXXX";
        if (mkdtemp(templ.data()) == nullptr)
            std::abort();
        path_ = templ + "/";
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string path_;
    unsigned long written_ = 0;
};

}  // namespace zm::fuzz

// A broken invariant is a finding like a crash: it names itself and aborts, so that the
// fuzzer keeps the input.
#define ZM_FUZZ_REQUIRE(condition)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
