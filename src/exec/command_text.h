#pragma once
// Every command line and SQL text the tool sends anywhere is composed in
// src/exec and nowhere else, in a file for each program it speaks to:
// mongo_shell_scripts (mongosh), mongo_export_commands (mongoexport),
// clickhouse_statements (clickhouse-client), postgres_commands (psql) and
// host_tool_commands (du, free); id_fingerprint holds the value of an id
// that both servers compute alike. A function there only composes; running
// is the runners' job and deciding is the caller's. No password is ever part
// of a command's text: each client gets it the way it supports, mongosh and
// clickhouse-client and psql through a variable of their own environment,
// mongoexport through a private configuration file. What the composers
// share stands here.

#include <initializer_list>
#include <string>
#include <string_view>

#include "exec/host.h"
#include "exec/logins.h"

// Which time a MongoDB edge query reads: the one held in the ObjectId, or a
// document field of the report collections.
enum class EdgeField { objectId, createTime, dataDate };

// A span of ObjectIds; an empty bound is no bound. Bounds are ObjectId
// texts (24 lowercase hex digits) and nothing else.
struct ObjectIdSpan {
    std::string lower;
    bool lowerExclusive = false;
    std::string upper;  // inclusive
};

// Puts the values, in order, where the template has %s or %d. The values
// are already in their final form (quoted, or a number as text), and they
// are never scanned again, so a value holding "%s" stays as it is.
std::string fillTemplate(std::string_view pattern, std::initializer_list<std::string_view> values);

// A JavaScript (and JSON) string literal of any text.
std::string javaScriptString(std::string_view text);
