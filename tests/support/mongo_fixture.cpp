#include "mongo_fixture.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <stdexcept>

namespace qortest {

std::string objectIdAt(std::int64_t seconds, std::uint32_t counter) {
    char text[25];
    std::snprintf(text, sizeof text, "%08llx5f3c2a1b9d%06x",
                  static_cast<unsigned long long>(seconds) & 0xffffffffULL, counter & 0xffffffU);
    return text;
}

std::string smallestObjectIdAt(std::int64_t seconds) {
    char text[25];
    std::snprintf(text, sizeof text, "%08llx0000000000000000",
                  static_cast<unsigned long long>(seconds) & 0xffffffffULL);
    return text;
}

std::int64_t objectIdSeconds(std::string_view objectId) {
    return static_cast<std::int64_t>(std::stoull(std::string(objectId.substr(0, 8)), nullptr, 16));
}

std::string isoUtc(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::int64_t epochUtc(std::string_view text) {
    std::tm utc{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const std::string copy(text);
    const int fields = std::sscanf(copy.c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute,
                                   &second);
    if (fields != 3 && fields != 6) throw std::invalid_argument("not a UTC date-time: " + copy);
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&utc));
}

std::string documentObjectId(std::string_view line) {
    constexpr std::string_view marker = "\"$oid\":\"";
    const std::size_t id = line.find("\"_id\"");
    const std::size_t at = id == std::string_view::npos ? id : line.find(marker, id);
    if (at == std::string_view::npos || at + marker.size() + 24 > line.size()) {
        throw std::invalid_argument("document without an ObjectId _id: " + std::string(line));
    }
    return std::string(line.substr(at + marker.size(), 24));
}

std::vector<std::string> generateDocuments(const GeneratedDocuments& shape) {
    std::vector<std::string> lines;
    lines.reserve(shape.count);
    const std::int64_t span = shape.newestSeconds - shape.oldestSeconds;
    for (std::size_t i = 0; i < shape.count; ++i) {
        const std::int64_t seconds =
            shape.count == 1 ? shape.oldestSeconds
                            : shape.oldestSeconds + span * static_cast<std::int64_t>(i) /
                                                       static_cast<std::int64_t>(shape.count - 1);
        std::string line = "{\"_id\":{\"$oid\":\"" + objectIdAt(seconds, static_cast<std::uint32_t>(i + 1)) + "\"}";
        if (shape.createTime) {
            line += ",\"create_time\":{\"$date\":\"" + isoUtc(seconds + shape.createTimeShift) + "\"}";
        }
        if (shape.dataDate) {
            line += ",\"data_date\":{\"$date\":\"" + isoUtc(seconds + shape.dataDateShift) + "\"}";
        }
        const std::string n = std::to_string(i + 1);
        if (shape.mergeSeq == MergeSeq::text) line += ",\"merge_seq\":\"" + n + "\"";
        if (shape.mergeSeq == MergeSeq::number) line += ",\"merge_seq\":" + n;
        line += ",\"n\":" + n + "}";
        lines.push_back(std::move(line));
    }
    return lines;
}

void writeCollectionFile(const std::filesystem::path& file, std::vector<std::string> lines) {
    std::vector<std::pair<std::string, std::size_t>> keys;
    keys.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) keys.emplace_back(documentObjectId(lines[i]), i);
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i].first == keys[i - 1].first) {
            throw std::invalid_argument("two documents with the _id " + keys[i].first);
        }
    }
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const auto& [id, index] : keys) {
        std::string& line = lines[index];
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        out << line << '\n';
    }
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::optional<std::vector<std::string>> readCollectionFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace qortest
