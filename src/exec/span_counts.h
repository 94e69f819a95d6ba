#pragma once
// Counting one collection over a span of ObjectIds on both sides: MongoDB
// along its `_id` index, ClickHouse in the collection's completed table by
// `oid`. The run commands verify with it, "repair" narrows a difference down
// with it, and "drop" compares whole collections with it, so both sides are
// always counted the same way.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Counts of many spans at once: a whole level of a narrowing costs one
// call per side, however many pieces it has.
template <typename Counts>
struct ManyCounts {
    std::optional<Counts> counts;  // nothing when they could not be read
    std::string why;
};

// One count per span (both bounds set, inclusive), in their order.
ManyCounts<std::vector<std::int64_t>> countDocumentsPerSpan(const MongoLogin& login,
                                                            std::string_view collection,
                                                            const std::vector<ObjectIdSpan>& spans,
                                                            const Host& host);

// The completed rows of `span` by the first `prefixLength` digits of their
// `oid`, for the prefixes that continue one of `parents`; a prefix without
// rows is not in the map.
ManyCounts<std::map<std::string, std::int64_t>> countCompletedRowsByPrefix(
    const ClickHouseLogin& login, std::string_view completedTable, const ObjectIdSpan& span,
    std::size_t prefixLength, const std::vector<std::string>& parents, const Host& host);
