#pragma once
// Every command line and SQL text the tool sends anywhere is composed here
// and nowhere else. A function here only composes; running is the runners'
// job and deciding is the caller's. No password is ever part of a command's
// text: each client gets it the way it supports, mongosh and clickhouse-client
// and psql through a variable of their own environment, mongoexport through
// a private configuration file.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

// --- MongoDB shell (mongosh HOST:8825/qornosql --quiet --eval "db.auth(U, process.env.…); …")
inline constexpr const char* mongoPasswordVariable = "QOROLAPMIGRATE_MONGO_PASSWORD";
// The oldest (1) or newest (-1) `_id` of the collection; with `datedFrom`
// ("YYYY-MM-DD HH:MM:SS", UTC), of its documents dated then or later.
ShellCommand edgeObjectIdCommand(const MongoLogin& login, std::string_view collection, int direction,
                                 EdgeField datedBy = EdgeField::objectId,
                                 std::string_view datedFrom = {});
// The oldest (1) or newest (-1) time by `field`; for a document field, of
// the documents `within` a span of ObjectIds.
ShellCommand edgeTimeCommand(const MongoLogin& login, std::string_view collection, EdgeField field,
                             int direction, const ObjectIdSpan& within = {});
ShellCommand storageSizeCommand(const MongoLogin& login, std::string_view collection);
ShellCommand dropCollectionCommand(const MongoLogin& login, std::string_view collection);
ShellCommand mergeSeqConversionCommand(const MongoLogin& login, std::string_view collection);
// The summary of each of `spans` (both bounds set, inclusive) along the
// `_id` index, the shell starting once: "count fingerprint" for each span, in
// their order, on one line.
ShellCommand documentSummariesCommand(const MongoLogin& login, std::string_view collection,
                                      const std::vector<ObjectIdSpan>& spans);
// How many documents have an `_id` that is not an ObjectId: no ObjectId
// bound takes them in.
ShellCommand otherIdsCountCommand(const MongoLogin& login, std::string_view collection);

// --- MongoDB export
// The filter option of the export-and-load pipeline: none without an upper
// bound, "$lte" only without a lower bound, both otherwise.
std::string exportQueryOption(std::string_view upperOid, std::string_view lowerOid);
// The exporter reads the password from `configFile`, the command's secret
// file.
ShellCommand exportCommand(const MongoLogin& login, std::string_view collection,
                           std::string_view queryOption, std::string_view configFile);
// The export of the `_id` values of a window into the work file: with an
// empty lower bound everything strictly newer than `floorOid`.
ShellCommand objectIdListExportCommand(const MongoLogin& login, std::string_view collection,
                                       std::string_view lowerOid, std::string_view upperOid,
                                       std::string_view floorOid, std::string_view configFile);
// A filter for the exporter's --queryFile: every document of `ranges` (both
// bounds set, inclusive) and every one of `ids`, held in a file so that a
// long list never stands on a command line.
std::string objectIdQueryText(const std::vector<ObjectIdSpan>& ranges,
                              const std::vector<std::string>& ids);
std::string queryFileOption(std::string_view queryFile);
// The `_id` lines of what `queryFile` selects, newest first, on standard output.
ShellCommand objectIdExportCommand(const MongoLogin& login, std::string_view collection,
                                   std::string_view queryFile, std::string_view configFile);

// --- ClickHouse
// The client prefix followed by the SQL as the one value of --query=.
ShellCommand clickhouseCommand(const ClickHouseLogin& login, std::string_view sql);
// The load side of the export-and-load pipeline, reading JSON lines from stdin.
ShellCommand clickhouseLoadCommand(const ClickHouseLogin& login, std::string_view stagingTable);

std::string rangeSummarySql(std::string_view completedTable);
std::string migCountSql(std::string_view olapName);
// The summary of the completed rows of `span` (count, fingerprint), and
// whether a retry marked the table as cleared only in part.
std::string completedSummarySql(std::string_view completedTable, const ObjectIdSpan& span);
// A retry marks the completed table while it clears: the target's rows go
// first, and a table still marked records rows the target may no longer hold.
std::string retryMarkSql(std::string_view completedTable);
std::string retryUnmarkSql(std::string_view completedTable);
// The summaries of the completed rows of `span` by the first `prefixLength`
// digits of their `oid`, for the prefixes that continue one of `parents`
// (all of one length): "prefix TAB count TAB fingerprint" lines.
std::string completedSummariesByPrefixSql(std::string_view completedTable, const ObjectIdSpan& span,
                                          std::size_t prefixLength,
                                          const std::vector<std::string>& parents);
// The `oid` of every completed row of `spans`, newest first, once per row.
std::string completedOidsSql(std::string_view completedTable, const std::vector<ObjectIdSpan>& spans);
std::string truncateSql(std::string_view table);
// The target rows whose time column lies between the two UTC date-times,
// both included.
std::string deleteRangeSql(std::string_view table, std::string_view timeExpression,
                           std::string_view fromDateTime, std::string_view toDateTime);
std::string deleteCompletedSql(std::string_view completedTable, const ObjectIdSpan& span);
std::string memoryTrackingSql();
std::string snowflakeIdSql();
std::string preprocessCheckSql();
std::string preprocessRecordSql(std::string_view key);

// --- PostgreSQL
ShellCommand snowflakeUpdateCommand(const PostgresLogin& login, std::string_view snowflakeId);

// --- Host tools
// Each on its own, never piped into awk: dash has no pipefail, and a
// pipeline's status would be awk's, hiding a failure of the program asked.
ShellCommand physicalMemoryCommand();
// "du -sL PATH": the size in 1024-byte blocks, then a TAB and the path.
ShellCommand directorySizeCommand(std::string_view path);
