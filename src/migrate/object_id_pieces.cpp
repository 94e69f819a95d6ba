#include "migrate/object_id_pieces.h"

#include <algorithm>

namespace {
constexpr std::string_view digits = "0123456789abcdef";
constexpr std::size_t objectIdLength = 24;
}  // namespace

std::string nextObjectId(std::string_view id) {
    std::string next(id);
    for (auto digit = next.rbegin(); digit != next.rend(); ++digit) {
        if (*digit != 'f') {
            *digit = digits[digits.find(*digit) + 1];
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

std::vector<Piece> childrenOf(const Piece& piece) {
    std::vector<Piece> children;
    if (piece.prefix.size() >= objectIdLength) return children;
    const std::size_t rest = objectIdLength - piece.prefix.size() - 1;
    for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit) {
        Piece child;
        child.prefix = piece.prefix + *digit;
        child.bounds.lower = std::max(child.prefix + std::string(rest, '0'), piece.bounds.lower);
        child.bounds.upper = std::min(child.prefix + std::string(rest, 'f'), piece.bounds.upper);
        if (child.bounds.lower <= child.bounds.upper) children.push_back(std::move(child));
    }
    return children;
}
