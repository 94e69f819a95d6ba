#pragma once
// Documents for the MongoDB fixture that the mongosh and mongoexport doubles
// read: one compact relaxed Extended JSON line per document, `_id` first,
// the file ordered by `_id` from newest to oldest (see tests/fakes/README.md).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qortest {

// An ObjectId of epoch second `seconds`: 8 hex digits of time, then a fixed
// machine part and `counter`, so ids of one second differ and none equals
// the smallest id of its second (the tool's window bounds).
std::string objectIdAt(std::int64_t seconds, std::uint32_t counter = 1);

// The smallest ObjectId of a second: its time and sixteen zeros.
std::string smallestObjectIdAt(std::int64_t seconds);

// Epoch second held in an ObjectId's first eight hex digits.
std::int64_t objectIdSeconds(std::string_view objectId);

// "2024-03-01T10:00:00Z" for an epoch second (UTC).
std::string isoUtc(std::int64_t seconds);

// Epoch second of a UTC "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD" text.
std::int64_t epochUtc(std::string_view text);

// The `_id` of a fixture line; throws std::invalid_argument when it has none.
std::string documentObjectId(std::string_view line);

enum class MergeSeq { none, text, number };

struct GeneratedDocuments {
    std::size_t count = 0;
    std::int64_t oldestSeconds = 0;  // ObjectId time of the oldest document
    std::int64_t newestSeconds = 0;  // of the newest; the rest evenly between
    bool createTime = false;         // "create_time": {"$date": ObjectId time + shift}
    std::int64_t createTimeShift = 0;
    bool dataDate = false;           // "data_date": {"$date": ObjectId time + shift}
    std::int64_t dataDateShift = 0;
    MergeSeq mergeSeq = MergeSeq::none;  // "merge_seq": "<n>" or <n>, n = index + 1
};

// Fixture lines, oldest first; document i (from 0) also carries "n": i + 1.
std::vector<std::string> generateDocuments(const GeneratedDocuments& shape);

// Writes a collection file: lines sorted newest first, each ended by '\n'.
void writeCollectionFile(const std::filesystem::path& file, std::vector<std::string> lines);

// The lines of a collection file as stored (newest first), without line ends;
// nullopt when the collection does not exist.
std::optional<std::vector<std::string>> readCollectionFile(const std::filesystem::path& file);

}  // namespace qortest
