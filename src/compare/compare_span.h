#pragma once
// src/compare, the floor of the comparison of both sides: which documents of
// a span MongoDB holds that the completed table lacks or holds twice, and
// which rows it keeps of documents MongoDB let go. It serves every
// verification, repair and drop from one place, below src/migrate and
// src/inspect and above src/exec, whose command texts and runners it uses.
// From above it is reached through this header (compareSpan),
// repair_work_file.h (the runs a repair writes and moves) and, to count a
// span on each side while it moves, side_summaries.h and object_id_pieces.h;
// id_listings and id_stream_diff are its own.
//
// Which documents of a span each side holds: the one comparison behind every
// verification, "repair" and "drop". Two totals cannot tell a document
// missing from a row loaded twice beside it, so each side summarizes the
// span along its own index (count and fingerprint); where the summaries
// differ the span is cut into pieces and only the pieces that differ are
// cut again, down to pieces small enough to compare id by id.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "compare/id_stream_diff.h"
#include "compare/object_id_pieces.h"
#include "exec/command_text.h"

struct ComparedCollection {
    const MongoLogin& mongo;
    const ClickHouseLogin& clickhouse;
    std::string name;            // in MongoDB
    std::string completedTable;  // in ClickHouse
    // The function name its lines carry; empty: the comparison writes none.
    std::string_view loggedAs;
    // A retry counts what its clearing would delete, also while the mark of
    // an earlier retry says the target may have lost some of it.
    bool despiteRetryMark = false;
};

struct SpanFindings {
    Summary documents;         // MongoDB's side of the span
    Summary rows;              // the completed table's
    std::int64_t missing = 0;  // documents MongoDB holds and the completed table lacks
    std::int64_t twice = 0;    // rows more of documents MongoDB holds
    std::int64_t letGo = 0;    // rows of documents MongoDB no longer holds: history, kept
    // Documents of the collection whose `_id` is not an ObjectId, wherever
    // they lie: no span takes them in, so nothing moves or verifies them.
    std::int64_t otherIds = 0;

    // Every document MongoDB holds is there exactly once.
    bool whole() const { return missing == 0 && twice == 0 && otherIds == 0; }
};

struct SpanComparison {
    std::optional<Summary> rows;           // the completed table's side, once it was read
    std::optional<SpanFindings> findings;  // once both sides were read and added up
    // Otherwise which side could not be read or did not add up, and why.
    std::string unreadableSide;  // "MongoDB" or "ClickHouse"
    std::string why;
};

// Compares `span` (both bounds set; the lower one may be exclusive). Every
// run of documents the completed table lacks goes to `onMissing` as it is
// found, newest first; the caller acts on them only once the comparison
// ended with findings, as a later piece may still turn out unreadable.
SpanComparison compareSpan(const ComparedCollection& collection, const ObjectIdSpan& span,
                           const Host& host,
                           const std::function<void(const MissingTerm&)>& onMissing = {});

// "MongoDB 2000, ClickHouse 2000, 1 missing, 1 twice": both sides' counts and
// what set them apart, for the lines and marks that report a comparison.
std::string describeFindings(const SpanFindings& findings);
