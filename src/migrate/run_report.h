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
    complete,
    skippedOverlap,
    differs,
    empty,
    failed,
    refusedName,
    stopped,  // the run ended at this collection (disk limit, unreadable time)
};

struct CollectionRecord {
    std::string name;
    Outcome outcome = Outcome::failed;
    std::optional<std::string> stagingCount;
    std::optional<std::string> completedCount;
    std::int64_t seconds = 0;
};

class RunReport {
public:
    void record(CollectionRecord record) {
        if (record.outcome == Outcome::stopped) stop();
        records_.push_back(std::move(record));
    }
    const std::vector<CollectionRecord>& records() const { return records_; }

    // Once the run stopped, no further collection is visited, and it cannot
    // end well however the visited ones did.
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

    // Names of the collections that did not end well, in visiting order,
    // each once even when the catalogue lists it twice.
    std::vector<std::string> failedCollections() const {
        std::vector<std::string> names;
        for (const CollectionRecord& r : records_) {
            if (r.outcome != Outcome::failed && r.outcome != Outcome::refusedName &&
                r.outcome != Outcome::stopped)
                continue;
            if (std::find(names.begin(), names.end(), r.name) == names.end())
                names.push_back(r.name);
        }
        return names;
    }

private:
    std::vector<CollectionRecord> records_;
    bool stopped_ = false;
};
