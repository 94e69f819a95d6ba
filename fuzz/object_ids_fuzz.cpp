// ObjectId extraction from exporter output on arbitrary bytes, checked line
// by line against a plain reading of the same rule. The reader works in
// blocks of a mebibyte, so the first input byte may ask (one time in eight,
// as it is costly) for the rest to be repeated past a block boundary, where
// lines are split between reads and a line may outgrow the block.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "migrate/object_id_list.h"

namespace {
std::string scratchDirectory;
std::string inputPath;
std::string outputPath;

// The id follows "$oid", the next ':' and one more character, up to the
// next '"'; a line without all of them gives nothing.
std::string expectedList(const std::string& text, std::int32_t& lines) {
    std::string list;
    lines = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        ++lines;
        start = end + 1;
        const std::size_t marker = line.find("$oid");
        if (marker == std::string_view::npos) continue;
        const std::size_t colon = line.find(':', marker);
        if (colon == std::string_view::npos || colon + 2 > line.size()) continue;
        const std::size_t quote = line.find('"', colon + 2);
        if (quote == std::string_view::npos) continue;
        list += line.substr(colon + 2, quote - colon - 2);
        list += '\n';
    }
    return list;
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed when the machine has it: every input is written and read back.
    char directory[] = "/dev/shm/qor-object-ids-fuzz-XXXXXX";
    if (mkdtemp(directory) == nullptr) std::abort();
    scratchDirectory = directory;
    std::atexit([] { std::filesystem::remove_all(scratchDirectory); });
    inputPath = std::string(directory) + "/oid_temp.txt";
    outputPath = std::string(directory) + "/oid_list.txt";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string piece(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string text = piece;
    if ((data[0] & 7) == 7 && !piece.empty()) {
        constexpr std::size_t pastOneBlock = (std::size_t{1} << 20) + 4096;
        while (text.size() < pastOneBlock) text += text;
    }
    std::ofstream(inputPath, std::ios::binary | std::ios::trunc) << text;

    std::int32_t expectedLines = 0;
    const std::string expected = expectedList(text, expectedLines);
    const std::int32_t lines = extractObjectIds(inputPath, outputPath);
    fuzzCheck(lines == expectedLines, "every input line is counted", piece);
    fuzzCheck(readWhole(outputPath) == expected, "the list holds the id of every line that has one",
              piece);
    return 0;
}
