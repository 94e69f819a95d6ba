#pragma once
// The ids of some spans of one collection on both sides, newest first, one
// at a time: what "repair" compares where the counts of a span differ. No
// list is ever held whole; the caller writes each id where it needs it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "exec/command_text.h"

struct IdListing {
    bool listed = false;
    std::string why;  // when not: "mongoexport exit 1", "a line without an ObjectId"
};

using OnId = std::function<void(std::string_view id)>;

// The `_id` of every document that `queryFile` selects, through the exporter
// (its password in `configFile`).
IdListing listDocumentIds(const MongoLogin& login, std::string_view collection,
                          std::string_view queryFile, std::string_view configFile,
                          const Host& host, const OnId& onId);

// The `oid` of every completed row of `spans`, a row loaded twice twice.
IdListing listCompletedOids(const ClickHouseLogin& login, std::string_view completedTable,
                            const std::vector<ObjectIdSpan>& spans, const Host& host,
                            const OnId& onId);
