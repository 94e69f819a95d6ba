#pragma once
// What happened to each collection a run visited. The passes record here;
// the driver reads it for the closing lines and the exit status.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class Outcome {
    migrated,
    migratedAfterClearing,
    repaired,  // what ClickHouse lacked was moved, and the span is verified
    complete,
    skippedOverlap,
    incomplete,  // migrated before, but not all of it: a retry mends it
    empty,
    failed,
    refusedName,
    stopped,  // the run ended at this collection (disk limit, unreadable time)
    interrupted,  // a signal stopped the run while this collection was in hand
    // What a dry run found it would do: the collection is not whole in ClickHouse.
    wouldMigrate,
    wouldMigrateAfterClearing,
    wouldRepair,
};

struct CollectionRecord {
    std::string name;
    Outcome outcome = Outcome::failed;
    std::optional<std::string> stagingCount;
    std::optional<std::string> completedCount;
    bool countsUnreadable = false;  // the counts were asked for but not read
    std::optional<std::int64_t> verified;  // documents found equal on both sides
    std::optional<std::int64_t> repaired;  // documents a repair moved
    std::optional<std::int64_t> twice;     // rows of documents the completed table holds more than once
    std::int64_t seconds = 0;
};

class RunReport {
public:
    void record(CollectionRecord record) {
        if (record.outcome == Outcome::stopped || record.outcome == Outcome::interrupted) stop();
        records_.push_back(std::move(record));
    }
    const std::vector<CollectionRecord>& records() const { return records_; }

    // Once the run stopped, no further collection is visited, and it cannot
    // end well however the visited ones did.
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

    // The Snowflake ID did not reach PostgreSQL: the migrations still run,
    // but the run cannot end well.
    void handoffFailed() { handoffFailed_ = true; }
    bool hasHandoffFailed() const { return handoffFailed_; }

    // What did not end well, in visiting order, each collection once even
    // when the catalogue lists it twice.
    std::vector<std::string> failures() const {
        std::vector<std::string> names;
        if (handoffFailed_) names.push_back(handoffName);
        for (const CollectionRecord& r : records_) {
            if (!isFailure(r.outcome)) continue;
            if (std::find(names.begin(), names.end(), r.name) == names.end())
                names.push_back(r.name);
        }
        return names;
    }

    static bool isFailure(Outcome outcome) {
        return outcome == Outcome::failed || outcome == Outcome::incomplete ||
               outcome == Outcome::refusedName || outcome == Outcome::stopped ||
               outcome == Outcome::interrupted || outcome == Outcome::wouldMigrate ||
               outcome == Outcome::wouldMigrateAfterClearing || outcome == Outcome::wouldRepair;
    }

    static constexpr const char* handoffName = "Snowflake ID hand-off";

private:
    std::vector<CollectionRecord> records_;
    bool stopped_ = false;
    bool handoffFailed_ = false;
};
