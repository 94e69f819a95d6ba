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

#include "exec/command_text.h"

// What one side holds of a span, summed up along its own index without
// sending a single id: how many ids, and the sum of their fingerprint values.
// A missing document hidden by a row loaded twice, or by the row of a
// document MongoDB let go, changes the sum though not the count.
struct Summary {
    std::int64_t count = 0;
    std::uint64_t fingerprint = 0;

    bool operator==(const Summary&) const = default;
    Summary& operator+=(const Summary& other) {
        count += other.count;
        fingerprint += other.fingerprint;
        return *this;
    }
};

struct Piece {
    std::string prefix;   // the digits every id of the piece begins with
    ObjectIdSpan bounds;  // both set and inclusive
    Summary documents;    // in MongoDB
    Summary rows;         // in the completed table
};

// The span as one piece, its lower bound made inclusive; nothing when it
// holds no id.
std::optional<Piece> pieceOfSpan(const ObjectIdSpan& span);

// How many digits longer the pieces that cover `piece` (of more than one id)
// are made so that, spread evenly, none holds more than `size` documents or
// rows: at most maxChildren of them, and never past the last digit.
inline constexpr std::size_t maxChildren = 1024;
std::size_t digitsToCut(const Piece& piece, std::int64_t size);

// How many digits longer the pieces that cover `piece` are made so that there
// are at least `pieces` of them, within the same limits.
std::size_t digitsForPieces(const Piece& piece, std::uint64_t pieces);

// The pieces `digits` longer that cover `piece`, newest first.
std::vector<Piece> childrenOf(const Piece& piece, std::size_t digits);

// The pieces (newest first, together covering a span, none holding more than
// half of what a range should) grouped into `ranges` spans of about equal
// documents, newest first, together covering the same span: cut where the
// running count comes nearest to each range's share.
std::vector<ObjectIdSpan> balancedRanges(const std::vector<Piece>& pieces, std::size_t ranges);

// The ObjectId right after `id`; empty after the last one.
std::string nextObjectId(std::string_view id);
