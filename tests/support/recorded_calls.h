#pragma once
// Reading back what the doubles recorded in QOR_RECORD_DIR (format in
// tests/fakes/README.md).

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qortest {

struct RecordedCall {
    std::string program;              // base name: "mongoexport", "clickhouse-client", ...
    std::vector<std::string> argv;    // argv[0] is the base name
    std::optional<std::string> input; // standard input, when the program kept it
    std::map<std::string, std::string> env;  // variables it kept (psql: PGPASSWORD when set)

    // The value of an option: "--query=V" or "--query" "V" give V; nullopt
    // when the option is absent.
    std::optional<std::string> option(std::string_view name) const;
    // Arguments joined by single blanks: for failure messages, not for matching.
    std::string joined() const;
};

// All calls in the order the programs started (or those of one program).
std::vector<RecordedCall> readRecordedCalls(const std::filesystem::path& directory);
std::vector<RecordedCall> readRecordedCalls(const std::filesystem::path& directory,
                                            std::string_view program);

}  // namespace qortest
