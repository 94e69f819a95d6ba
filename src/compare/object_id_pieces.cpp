#include "compare/object_id_pieces.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr std::string_view hexDigits = "0123456789abcdef";
constexpr std::size_t objectIdLength = 24;

// The next `digits` digits after the prefix, as a number: at most 16 of them.
std::uint64_t digitsOf(const Piece& piece, const std::string& id, std::size_t digits) {
    return std::stoull(id.substr(piece.prefix.size(), digits), nullptr, 16);
}

std::uint64_t childCount(const Piece& piece, std::size_t digits) {
    return digitsOf(piece, piece.bounds.upper, digits) - digitsOf(piece, piece.bounds.lower, digits) + 1;
}
}  // namespace

std::string nextObjectId(std::string_view id) {
    std::string next(id);
    for (auto digit = next.rbegin(); digit != next.rend(); ++digit) {
        if (*digit != 'f') {
            *digit = hexDigits[hexDigits.find(*digit) + 1];
            return next;
        }
        *digit = '0';
    }
    return {};
}

std::optional<Piece> pieceOfSpan(const ObjectIdSpan& span) {
    Piece piece;
    piece.bounds.lower = span.lowerExclusive ? nextObjectId(span.lower) : span.lower;
    piece.bounds.upper = span.upper;
    const std::string& lower = piece.bounds.lower;
    if (lower.empty() || lower > span.upper) return std::nullopt;
    const auto differ = std::mismatch(lower.begin(), lower.end(), span.upper.begin());
    piece.prefix.assign(lower.begin(), differ.first);
    return piece;
}

std::size_t digitsToCut(const Piece& piece, std::int64_t size) {
    const std::uint64_t most = static_cast<std::uint64_t>(std::max(piece.documents.count, piece.rows.count));
    const std::uint64_t each = static_cast<std::uint64_t>(std::max<std::int64_t>(size, 1));
    return digitsForPieces(piece, (most + each - 1) / each);
}

std::size_t digitsForPieces(const Piece& piece, std::uint64_t pieces) {
    const std::size_t deepest = std::min<std::size_t>(16, objectIdLength - piece.prefix.size());
    std::size_t digits = 1;
    while (digits < deepest && childCount(piece, digits) < pieces && childCount(piece, digits + 1) <= maxChildren)
        ++digits;
    return digits;
}

std::vector<ObjectIdSpan> balancedRanges(const std::vector<Piece>& pieces, std::size_t ranges) {
    std::int64_t total = 0;
    for (const Piece& piece : pieces) total += piece.documents.count;
    std::vector<ObjectIdSpan> spans;
    std::size_t first = 0;
    std::int64_t counted = 0;
    for (std::size_t range = 1; range <= ranges && first < pieces.size(); ++range) {
        // The last range takes whatever is left.
        const std::int64_t share = range == ranges ? total : total * static_cast<std::int64_t>(range) /
                                                                 static_cast<std::int64_t>(ranges);
        std::size_t last = first;
        counted += pieces[first].documents.count;
        while (last + 1 < pieces.size() &&
               std::abs(counted + pieces[last + 1].documents.count - share) <= std::abs(counted - share)) {
            counted += pieces[++last].documents.count;
        }
        spans.push_back({.lower = pieces[last].bounds.lower, .upper = pieces[first].bounds.upper});
        first = last + 1;
    }
    return spans;
}

std::vector<Piece> childrenOf(const Piece& piece, std::size_t digits) {
    std::vector<Piece> children;
    const std::size_t rest = objectIdLength - piece.prefix.size() - digits;
    const std::uint64_t first = digitsOf(piece, piece.bounds.lower, digits);
    for (std::uint64_t value = digitsOf(piece, piece.bounds.upper, digits);; --value) {
        char text[17];
        std::snprintf(text, sizeof text, "%0*llx", static_cast<int>(digits),
                      static_cast<unsigned long long>(value));
        Piece child;
        child.prefix = piece.prefix + text;
        child.bounds.lower = std::max(child.prefix + std::string(rest, '0'), piece.bounds.lower);
        child.bounds.upper = std::min(child.prefix + std::string(rest, 'f'), piece.bounds.upper);
        children.push_back(std::move(child));
        if (value == first) return children;
    }
}
