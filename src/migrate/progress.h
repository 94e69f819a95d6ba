#pragma once
// How far a collection that is still moving has come, in a line an operator
// reads every few seconds: the exporters' own lines would interleave when
// several run at once, and a run of hours must still say it lives.

#include <cstdint>
#include <optional>
#include <string>

#include "migrate/collection_kind.h"
#include "migrate/run.h"

class Progress {
public:
    // `span` is what the move fills; ClickHouse held `rowsBefore` rows of it
    // when the move began.
    Progress(const OlapMigrator& run, const CollectionKind& kind, ObjectIdSpan span, std::int64_t rowsBefore);

    // Logs, once 10 seconds have passed since the move began or since its
    // last line, "tb_audit_log : 4200000 of 10000000 documents (42 %), 38000
    // a second, about 2 min 30 s left": the rows the completed table holds of
    // the span against MongoDB's count of it, read when the line is due.
    void tick();

private:
    const OlapMigrator& run_;
    const CollectionKind& kind_;
    ObjectIdSpan span_;
    std::int64_t rowsBefore_;
    std::int64_t began_;
    std::int64_t lastLine_;
    std::optional<std::int64_t> documents_;
};

// "2 min 30 s", "1 h 5 min", "40 s".
std::string durationText(std::int64_t seconds);
