#include "exec/id_fingerprint.h"

#include <array>
#include <cstdint>

namespace {
constexpr std::uint64_t prime = 2147483647;  // 2^31 - 1; its order less one has no factor 5
// One constant a round, so that no round maps zero to zero.
constexpr std::array<std::uint64_t, 6> roundConstants = {1414213562, 1732050807, 1259921049,
                                                         1618033988, 1442249570, 1817120592};
constexpr std::size_t words = 4;  // of six hex digits: 24 bits, below the prime
constexpr std::size_t digitsPerWord = 6;

const std::string primeText = std::to_string(prime);

std::string mongoMod(const std::string& value) { return "{ $mod: [" + value + ", " + primeText + "] }"; }
std::string mongoProduct(const std::string& a, const std::string& b) {
    return mongoMod("{ $multiply: [" + a + ", " + b + "] }");
}
std::string mongoFifthPower(const std::string& value) {
    const std::string square = mongoProduct(value, value);
    return mongoProduct(mongoProduct(square, square), value);
}

// The word of digits [6k, 6k + 6) of the id's hex text, bound as $$id.
std::string mongoWord(std::size_t k) {
    std::string terms;
    for (std::size_t i = 0; i < digitsPerWord; ++i) {
        const std::string digit = "{ $indexOfBytes: ['0123456789abcdef', { $substrBytes: ['$$id', " +
                                  std::to_string(k * digitsPerWord + i) + ", 1] }] }";
        const std::uint64_t weight = std::uint64_t{1} << (4 * (digitsPerWord - 1 - i));
        terms += (terms.empty() ? "" : ", ") +
                 (weight == 1 ? digit : "{ $multiply: [" + digit + ", " + std::to_string(weight) + "] }");
    }
    return "{ $add: [" + terms + "] }";
}

std::string sqlFifthPower(std::string_view v) {
    const std::string value(v);
    const std::string square = "(" + value + " * " + value + " % " + primeText + ")";
    return square + " * " + square + " % " + primeText + " * " + value + " % " + primeText;
}

std::string sqlWord(std::size_t k) {
    return "toUInt64(reinterpretAsUInt32(reverse(unhex(substring(oid, " + std::to_string(k * digitsPerWord + 1) +
           ", " + std::to_string(digitsPerWord) + ")))))";
}
}  // namespace

std::string documentFingerprintExpression() {
    std::string value;
    for (std::size_t round = 0; round < roundConstants.size(); ++round) {
        std::string terms = value.empty() ? "" : value + ", ";
        if (round < words) terms += mongoWord(round) + ", ";
        terms += std::to_string(roundConstants[round]);
        // Bound once, as the power reads it five times.
        value = "{ $let: { vars: { a: " + mongoMod("{ $add: [" + terms + "] }") + " }, in: " +
                mongoFifthPower("'$$a'") + " } }";
    }
    return "{ $let: { vars: { id: { $toString: '$_id' } }, in: " + value + " } }";
}

std::string rowFingerprintsSql(std::string_view rows) {
    // A level of subquery a round: ClickHouse copies an alias's expression
    // wherever it is read, and five reads a round would grow the query
    // fivefold with each round.
    std::string query;
    for (std::size_t round = 0; round < roundConstants.size(); ++round) {
        std::string terms = query.empty() ? "" : sqlFifthPower("a") + " + ";
        if (round < words) terms += sqlWord(round) + " + ";
        terms += std::to_string(roundConstants[round]);
        const std::string from = query.empty() ? std::string(rows) : "(" + query + ")";
        query = "select oid, (" + terms + ") % " + primeText + " as a from " + from;
    }
    return "select oid, " + sqlFifthPower("a") + " as f from (" + query + ")";
}
