#pragma once
// The fingerprint of a set of ObjectIds, computed where the ids live: each
// id gets a value mixed from all twelve of its bytes, and a set is summed up
// by its count and the sum of those values. Two different sets then sum
// alike only by chance, about once in 2^31, however the ids were made (the
// thousands of ids one bulk insert writes in one second differ only in their
// counter). Both servers compute the value exactly in 64-bit integers: the
// id is read as four 24-bit words, each word is folded into a running value
// modulo the prime 2^31 - 1 and raised to the fifth power (a permutation of
// that field, so two ids that differ in one word never share a value), and
// two more rounds mix the last word in. No product leaves 2^62 and no sum of
// fewer than 2^32 values leaves 2^63: MongoDB would turn a long that
// overflows into a double and lose its last digits.

#include <string>
#include <string_view>

// The MongoDB aggregation expression of one document's value, for a
// `$sum` of `$group`, over the document's `_id`.
std::string documentFingerprintExpression();

// A query of the `oid` of each of `rows` ("table where condition") and its
// value `f`.
std::string rowFingerprintsSql(std::string_view rows);
