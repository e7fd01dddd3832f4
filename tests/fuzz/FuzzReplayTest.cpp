// Replays the committed inputs of one fuzz target through its entry point. A finding of
// the target aborts the program; the last input named in the output is the one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> FilesOf(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

size_t Replay(const std::filesystem::path& folder) {
    const std::vector<std::filesystem::path> files = FilesOf(folder);
    for (const std::filesystem::path& file : files) {
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0) << file;
    }
    return files.size();
}

}  // namespace

TEST(ZM_FUZZ_SUITE, ReplaysSeedCorpus) {
    // Seeds exist for every target; an empty folder means the corpus went missing.
    EXPECT_GT(Replay(ZM_FUZZ_CORPUS), 0u);
}

TEST(ZM_FUZZ_SUITE, ReplaysCrashReproducers) {
    Replay(ZM_FUZZ_CRASHES);
}
