#pragma once
// Counting one collection over a span of ObjectIds on both sides: MongoDB
// along its `_id` index, ClickHouse in the collection's completed table by
// `oid`. The run commands verify with it, and "drop" compares whole
// collections with it, so both sides are always counted the same way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "exec/commands.h"

struct SideCount {
    std::optional<std::int64_t> count;  // nothing when it could not be read
    std::string why;                    // then why: "mongosh exit 1", "a count that is not a number"
};

struct CompletedRows : SideCount {
    std::string newest;  // the newest `oid` of the span; empty when it holds none
};

SideCount countDocuments(const MongoLogin& login, std::string_view collection,
                         const ObjectIdSpan& span, const Host& host);

CompletedRows countCompletedRows(const ClickHouseLogin& login, std::string_view completedTable,
                                 const ObjectIdSpan& span, const Host& host);
