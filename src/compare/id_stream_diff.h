#pragma once
// Where two id lists differ, in one pass: MongoDB's `_id`s and the completed
// table's `oid`s of the same pieces, both sorted newest first, read a line at
// a time from each, so a list of any length costs two lines of memory. And
// what ClickHouse lacks, gathered into what the exporter is asked for.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

enum class IdMatch {
    missing,  // in MongoDB only
    present,  // on both sides
    twice,    // a row more of a document MongoDB holds
    letGo,    // a row of a document MongoDB no longer holds (each of its rows)
};

struct IdEvent {
    IdMatch match;
    std::string id;
};

// Hands over the next line of a list; false at its end.
using LineSource = std::function<bool(std::string& line)>;

class IdStreamComparison {
public:
    IdStreamComparison(LineSource mongo, LineSource clickhouse);

    // The next id at or above `lowest`, newest first, and on which sides it
    // is; nothing once both lists are below it.
    std::optional<IdEvent> next(std::string_view lowest);

    // Empty while both lists went down; once one went up instead, its side
    // ("MongoDB", "ClickHouse"): it was not made the way the comparison
    // needs, and what it found means nothing.
    std::string_view unordered() const { return unordered_; }

private:
    struct Head {
        LineSource source;
        std::string id;
        bool held = false;
        std::string_view side;
    };
    void advance(Head& head, bool repeatsAllowed);
    IdEvent takeRow(IdMatch match);

    Head mongo_;
    Head clickhouse_;
    std::string_view unordered_;
    // The last row handed on and what it was: a repeat of it is one more
    // row of the same document.
    std::string lastRow_;
    IdMatch lastRowMatch_ = IdMatch::present;
};

// A run of missing documents with nothing present between them moves by its
// bounds; a lone missing document (lower == upper) by its id.
struct MissingTerm {
    std::string lower;
    std::string upper;
    std::int64_t documents = 0;
};

// Gathers missing documents into terms, newest first. A run goes on from one
// piece into the next only when the two adjoin: between pieces that do not,
// lie documents that were never listed and may well be present.
class MissingRuns {
public:
    explicit MissingRuns(std::function<void(const MissingTerm&)> onTerm);

    void beginPiece(const std::string& upper, const std::string& lower);
    void missing(const std::string& id);
    // A piece of which ClickHouse holds nothing: all of it is missing.
    void wholePiece(const std::string& upper, const std::string& lower, std::int64_t documents);
    void present() { close(); }
    void finish() { close(); }

private:
    void close();

    std::function<void(const MissingTerm&)> onTerm_;
    std::optional<MissingTerm> open_;
    std::string pieceLower_;
};
