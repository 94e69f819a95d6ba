#pragma once
// The one owner of shell quoting. Ordinary values (host names, users, plain
// passwords, paths, dates, ObjectIds) stand in a command line exactly as
// typed, so the lines an administrator sees are the familiar ones; any other
// value is quoted so that the shell hands the program exactly that value and
// runs nothing else.

#include <string>
#include <string_view>

// Made only of A-Z a-z 0-9 _ @ % + = : , . / - (and not empty).
bool isPlainValue(std::string_view value);

// For a place where the template has the value bare: as is when plain,
// otherwise in single quotes ('' and the empty value included).
std::string bareArgument(std::string_view value);

// For a place inside the template's own single quotes: as is when plain,
// otherwise every single quote becomes '\'' (close, escaped quote, reopen).
std::string insideSingleQuotes(std::string_view value);

// For a place inside double quotes: \ " $ and ` are backslash-escaped.
std::string insideDoubleQuotes(std::string_view value);

// Collection names go into JavaScript and JSON where shell quoting cannot
// help, after the shell's `db.` and as unquoted ClickHouse identifiers,
// which carry neither '.' nor '-': only A-Z a-z 0-9 _ are accepted (and not
// empty).
bool isAcceptableCollectionName(std::string_view name);
