#pragma once
// The MongoDB shell's scripts: mongosh HOST:8825/qornosql --quiet --eval
// "db.auth(U, process.env.…); …", each script logging in itself with the
// password the shell's environment holds.

#include <string_view>
#include <vector>

#include "exec/command_text.h"

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
// How many documents `span` holds, without the fingerprint's work per document.
ShellCommand spanCountCommand(const MongoLogin& login, std::string_view collection, const ObjectIdSpan& span);
