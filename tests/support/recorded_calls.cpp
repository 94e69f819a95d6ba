#include "recorded_calls.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qortest {
namespace {

std::string readWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> splitTerminated(const std::string& data) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start < data.size()) {
        const std::size_t end = data.find('\0', start);
        if (end == std::string::npos) throw std::runtime_error("record entry without its NUL end");
        items.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

// Stems look like 01733480000123456789-0001234-mongoexport.
std::string programOfStem(const std::string& stem) {
    const std::size_t first = stem.find('-');
    const std::size_t second = first == std::string::npos ? first : stem.find('-', first + 1);
    if (second == std::string::npos) throw std::runtime_error("unexpected record name " + stem);
    return stem.substr(second + 1);
}

}  // namespace

std::optional<std::string> RecordedCall::option(std::string_view name) const {
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string_view arg = argv[i];
        if (arg == name) {
            if (i + 1 < argv.size()) return argv[i + 1];
            return std::string();
        }
        if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
            return std::string(arg.substr(name.size() + 1));
        }
    }
    return std::nullopt;
}

std::string RecordedCall::joined() const {
    std::string text;
    for (const auto& arg : argv) {
        if (!text.empty()) text += ' ';
        text += arg;
    }
    return text;
}

std::vector<RecordedCall> readRecordedCalls(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> stems;
    if (std::filesystem::exists(directory)) {
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            if (entry.path().extension() == ".argv") stems.push_back(entry.path());
        }
    }
    std::sort(stems.begin(), stems.end());
    std::vector<RecordedCall> calls;
    for (const auto& argvFile : stems) {
        RecordedCall call;
        const std::string stem = argvFile.stem().string();
        call.program = programOfStem(stem);
        call.argv = splitTerminated(readWhole(argvFile));
        const auto stdinFile = directory / (stem + ".stdin");
        if (std::filesystem::exists(stdinFile)) call.input = readWhole(stdinFile);
        const auto envFile = directory / (stem + ".env");
        if (std::filesystem::exists(envFile)) {
            for (const auto& entry : splitTerminated(readWhole(envFile))) {
                const std::size_t equals = entry.find('=');
                if (equals != std::string::npos) call.env[entry.substr(0, equals)] = entry.substr(equals + 1);
            }
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

std::vector<RecordedCall> readRecordedCalls(const std::filesystem::path& directory,
                                            std::string_view program) {
    std::vector<RecordedCall> calls = readRecordedCalls(directory);
    std::erase_if(calls, [&](const RecordedCall& call) { return call.program != program; });
    return calls;
}

}  // namespace qortest
