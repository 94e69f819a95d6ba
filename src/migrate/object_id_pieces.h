#pragma once
// A span of ObjectIds cut into pieces by the hex digits of the ids: a piece
// is every id that begins with its prefix, within the span. The ids of a
// piece are contiguous, so MongoDB counts it along its `_id` index by two
// bounds and ClickHouse counts all pieces of one length in a single
// grouped query. As the first digits are the seconds of the ids, the first
// cuts fall by time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exec/commands.h"

struct Piece {
    std::string prefix;   // the digits every id of the piece begins with
    ObjectIdSpan bounds;  // both set and inclusive
    std::int64_t documents = 0;  // in MongoDB
    std::int64_t rows = 0;       // in the completed table
};

// The span as one piece, its lower bound made inclusive; nothing when it
// holds no id.
std::optional<Piece> pieceOfSpan(const ObjectIdSpan& span);

// How many digits longer the pieces that cover `piece` (of more than one id)
// are made so that, spread evenly, none holds more than `size` documents or
// rows: at most maxChildren of them, and never past the last digit.
inline constexpr std::size_t maxChildren = 1024;
std::size_t digitsToCut(const Piece& piece, std::int64_t size);

// The pieces `digits` longer that cover `piece`, newest first.
std::vector<Piece> childrenOf(const Piece& piece, std::size_t digits);

// The ObjectId right after `id`; empty after the last one.
std::string nextObjectId(std::string_view id);
