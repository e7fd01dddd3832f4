// A text file in any of the four encodings, as the run log view and the settings reader
// open it: encoding detection, line splitting, and the decoded lines surviving a write in
// each encoding and a second read.
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "base/TextFile.h"

namespace {

std::vector<std::string> ReadLines(const std::string& path, zm::TextEncoding* encoding) {
    std::vector<std::string> lines;
    zm::CTextFileRead reader(path);
    if (encoding)
        *encoding = reader.GetEncoding();
    std::string line;
    while (lines.size() < 100000 && reader.ReadLine(line))
        lines.push_back(line);
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zm::fuzz::InputReader in(data, size);
    const uint8_t mode = in.Byte();
    zm::fuzz::ScratchFolder& scratch = zm::fuzz::ScratchFolder::Get();
    const std::string path = scratch.Put("Fuzz.txt", in.Rest());

    zm::TextEncoding encoding = zm::TextAnsi;
    const std::vector<std::string> lines = ReadLines(path, &encoding);
    std::string all;
    zm::ReadTextFile(path, all);
    zm::IsAnsiFile(path);

    // What was read, written again in one of the Unicode encodings, reads the same. A file
    // that ends with a line end reads with a last, empty line, so the lines are written
    // with line ends between them only; no lines and one empty line are both no text.
    static constexpr zm::TextEncoding kUnicode[] = {zm::TextUtf8, zm::TextUtf16Be, zm::TextUtf16Le};
    const zm::TextEncoding target = kUnicode[mode % 3];
    const std::string copy = scratch.Path() + "Copy.txt";
    int fd = open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ZM_FUZZ_REQUIRE(fd >= 0);
    {
        zm::CTextFileWrite writer(fd, target);
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0)
                writer.WriteString("\r\n");
            writer.WriteString(lines[i]);
        }
        ZM_FUZZ_REQUIRE(writer.Flush());
    }
    close(fd);
    zm::TextEncoding copyEncoding = zm::TextAnsi;
    const std::vector<std::string> copied = ReadLines(copy, &copyEncoding);
    if (lines.size() > 1 || (lines.size() == 1 && !lines[0].empty()))
        ZM_FUZZ_REQUIRE(copied == lines);
    ZM_FUZZ_REQUIRE(copyEncoding == target);
    return 0;
}
