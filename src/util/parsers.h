#pragma once
// Text parsers shared by the tool: ClickHouse output, list files, numbers.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An ordered list of sections; each map holds one product-module key and the
// collection names listed under it, in file order.
using ProductCatalogue = std::vector<std::map<std::string, std::vector<std::string>>>;

// Non-empty pieces between TAB characters; newlines stay inside the pieces.
std::vector<std::string> splitByTab(const std::string& text);

// The list file: "[key]" headers, one collection name per line, "#"
// comments; blanks, tabs and carriage returns are removed wherever they stand.
ProductCatalogue parseSectionList(const std::string& text);

// 24 lowercase hexadecimal digits: the only ObjectId text put into a script
// or a query, wherever it was read from.
bool isObjectIdText(std::string_view text);

// The ObjectId of a shell line such as "[ { _id: ObjectId('65e1a7…') } ]":
// the 24 lowercase hex digits between "ObjectId('" and "')", or nothing.
std::optional<std::string> objectIdIn(std::string_view line);

// Every '\n' anywhere in the text removed.
std::string removeNewlines(std::string text);

// The leading decimal number of a text (blanks and a sign before it
// accepted, anything after it ignored). Throws std::invalid_argument when
// the text does not begin with a number and std::out_of_range when it does
// not fit, so a reply that is not a count stops the run instead of being
// taken for zero.
std::int64_t parseLeadingInt64(const std::string& text);

// A count or a sum from a server: decimal digits and nothing else, that fit.
// An error text, a sign, a fraction or an exponent (a sum that overflowed
// into a double) is no such number.
std::optional<std::uint64_t> readWholeNumber(std::string_view text);

// Same reading, as an optional: for values an administrator typed.
std::optional<std::int64_t> readLeadingInt64(std::string_view text);
