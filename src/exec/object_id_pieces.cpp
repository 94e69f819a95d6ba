#include "exec/object_id_pieces.h"

#include <algorithm>
#include <cstdio>

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
    const std::size_t deepest = std::min<std::size_t>(16, objectIdLength - piece.prefix.size());
    std::size_t digits = 1;
    while (digits < deepest && childCount(piece, digits) * static_cast<std::uint64_t>(size) < most &&
           childCount(piece, digits + 1) <= maxChildren)
        ++digits;
    return digits;
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
