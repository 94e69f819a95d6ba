#pragma once
// What each side holds of spans of one collection, summed up where it lives:
// MongoDB along its `_id` index, ClickHouse in the collection's completed
// table by `oid`. No id crosses the wire; a whole level of a narrowing costs
// one call per side, however many pieces it has.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/object_id_pieces.h"
#include "exec/command_text.h"

template <typename Value>
struct SideReading {
    std::optional<Value> value;  // nothing when it could not be read
    std::string why;             // then why: "mongosh exit 1", "a summary that is not a number"
};

// The bounds of every piece of a call stand in the one argument of mongosh
// or clickhouse-client, which the system caps at 128 KiB.
inline constexpr std::size_t piecesPerCall = 1024;

// MongoDB's side of every piece, into its `documents`, up to piecesPerCall
// pieces a call; why it could not be read, or empty once every piece is.
std::string summarizePieces(const MongoLogin& login, std::string_view collection, std::vector<Piece>& pieces,
                            const Host& host);

// One summary per span (both bounds set, inclusive), in their order.
SideReading<std::vector<Summary>> summarizeDocuments(const MongoLogin& login, std::string_view collection,
                                                    const std::vector<ObjectIdSpan>& spans, const Host& host);

// How many of the collection's documents no ObjectId bound takes in.
SideReading<std::int64_t> countOtherIds(const MongoLogin& login, std::string_view collection, const Host& host);

// How many documents MongoDB holds of `span`, for a figure that needs no more.
SideReading<std::int64_t> countDocuments(const MongoLogin& login, std::string_view collection,
                                         const ObjectIdSpan& span, const Host& host);

// The completed rows of `span`. Unreadable, too, while a retry's mark says
// the table may record rows its target no longer holds, unless read
// `despiteRetryMark`.
SideReading<Summary> summarizeCompletedRows(const ClickHouseLogin& login, std::string_view completedTable,
                                           const ObjectIdSpan& span, const Host& host,
                                           bool despiteRetryMark = false);

// The completed rows of `span` by the first `prefixLength` digits of their
// `oid`, for the prefixes that continue one of `parents`; a prefix without
// rows is not in the map.
SideReading<std::map<std::string, Summary>> summarizeCompletedRowsByPrefix(
    const ClickHouseLogin& login, std::string_view completedTable, const ObjectIdSpan& span,
    std::size_t prefixLength, const std::vector<std::string>& parents, const Host& host);
