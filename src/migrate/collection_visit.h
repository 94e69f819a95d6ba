#pragma once
// The shape both migration passes give one collection: read what ClickHouse
// and MongoDB hold, decide, move, close, and record what happened. The
// passes differ in how they move data and date documents; everything here
// is what they have in common, log lines included.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "migrate/migrated_span.h"
#include "migrate/run_report.h"

class OlapMigrator;

// What is known of a collection before anything is decided.
struct CollectionState {
    MigratedSpan span;
    std::string oldestDocument;  // the oldest `_id` as the shell printed it
};

class CollectionVisit {
public:
    // `loggedAs` is the pass whose log lines these are.
    CollectionVisit(const OlapMigrator& migrator, const std::string& collection,
                    std::string_view loggedAs);

    const std::string& name() const { return record_.name; }
    const OlapMigrator& migrator() const { return migrator_; }

    // Runs the pass's decision and records its outcome with the seconds taken.
    void record(const std::function<Outcome()>& decide);

    // The disk guard, the completed-table summary and the oldest document.
    // Nothing when the collection cannot be decided on: `outcome` then says
    // why (the summary was unreadable, or the collection is empty), and the
    // line saying so has been logged.
    std::optional<CollectionState> readState(Outcome& outcome) const;

    // Date-range mode: the notice that data was migrated before, and the
    // skip when the requested seconds overlap the migrated ones.
    bool skipsMigratedRange(const MigratedSpan& span, const std::string& startBound,
                            const std::string& endBound, std::int64_t start,
                            std::int64_t end) const;

    // The two warnings when migrated data does not reach the oldest document.
    Outcome warnDiffers(const MigratedSpan& span) const;

    // The closing steps after data was moved, with a pause before counting.
    void finish(unsigned settleSeconds);

private:
    const OlapMigrator& migrator_;
    std::string_view loggedAs_;
    CollectionRecord record_;
    std::int64_t startedAt_;
};
