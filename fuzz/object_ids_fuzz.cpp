// ObjectId extraction on arbitrary bytes, checked line by line against a
// plain reading of the same rule. One input in eight is repeated past the
// reader's 1 MiB blocks, where lines are split between reads.

#include <cstdint>
#include <cstdio>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz_check.h"
#include "migrate/object_id_list.h"

namespace {
// The id follows "$oid", the next ':' and one more character, up to the next '"'.
std::string expectedList(const std::string& text, std::int32_t& lines) {
    std::string list;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line); ++lines) {
        const std::size_t colon = line.find(':', line.find("$oid"));
        if (line.find("$oid") == std::string::npos || colon == std::string::npos || colon + 2 > line.size()) continue;
        const std::size_t quote = line.find('"', colon + 2);
        if (quote != std::string::npos) list += line.substr(colon + 2, quote - colon - 2) + "\n";
    }
    return list;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string piece(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string text = piece;
    while ((data[0] & 7) == 7 && !piece.empty() && text.size() < (std::size_t{1} << 20) + 4096) text += text;
    static const struct Scratch {
        std::string input = "/dev/shm/qor-object-ids-fuzz-" + std::to_string(getpid());
        std::string output = input + ".list";
        ~Scratch() { std::remove(input.c_str()), std::remove(output.c_str()); }
    } scratch;
    const std::string& input = scratch.input;
    const std::string& output = scratch.output;
    std::ofstream(input, std::ios::binary | std::ios::trunc) << text;
    std::int32_t expectedLines = 0;
    const std::string expected = expectedList(text, expectedLines);
    fuzzCheck(extractObjectIds(input, output) == expectedLines, "every input line is counted", piece);
    std::ostringstream written;
    written << std::ifstream(output, std::ios::binary).rdbuf();
    fuzzCheck(written.str() == expected, "the list holds the id of every line that has one", piece);
    return 0;
}
