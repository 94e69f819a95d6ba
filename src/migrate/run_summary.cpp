#include "migrate/run_summary.h"

#include <array>
#include <cstddef>

namespace {
constexpr std::array allOutcomes = {
    Outcome::migrated, Outcome::migratedAfterClearing, Outcome::repaired,
    Outcome::complete, Outcome::skippedOverlap,        Outcome::incomplete,
    Outcome::empty,    Outcome::failed,                Outcome::refusedName,
    Outcome::stopped,  Outcome::interrupted,           Outcome::wouldMigrate,
    Outcome::wouldMigrateAfterClearing,                Outcome::wouldRepair,
};

std::string collectionLine(const CollectionRecord& record) {
    std::string line = "Summary : " + record.name + " : ";
    line += outcomeText(record.outcome);
    if (record.repaired) {
        const bool named = record.outcome == Outcome::repaired || record.outcome == Outcome::wouldRepair;
        line += (named ? " " : ", repaired ") + std::to_string(*record.repaired);
    }
    if (record.twice) line += ", " + std::to_string(*record.twice) + " rows twice, run retry -t " + record.name;
    else if (record.outcome == Outcome::incomplete) line += ", run repair -t " + record.name;
    if (record.verified) line += ", verified " + std::to_string(*record.verified);
    if (record.stagingCount) line += ", staging " + *record.stagingCount;
    if (record.completedCount) line += ", completed " + *record.completedCount;
    if (record.countsUnreadable) line += ", counts unreadable";
    line += ", " + std::to_string(record.seconds) + " s";
    return line;
}

std::string totalsLine(const std::vector<CollectionRecord>& records) {
    std::string line = "Summary total : " + std::to_string(records.size()) +
                       (records.size() == 1 ? " collection" : " collections");
    for (const Outcome outcome : allOutcomes) {
        std::size_t count = 0;
        for (const CollectionRecord& record : records) count += record.outcome == outcome;
        if (count == 0) continue;
        line += ", " + std::to_string(count) + " ";
        line += outcomeText(outcome);
    }
    return line;
}
}  // namespace

std::string_view outcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::migrated:
            return "migrated";
        case Outcome::migratedAfterClearing:
            return "migrated after clearing";
        case Outcome::repaired:
            return "repaired";
        case Outcome::complete:
            return "complete";
        case Outcome::skippedOverlap:
            return "skipped for overlap";
        case Outcome::incomplete:
            return "incomplete";
        case Outcome::empty:
            return "empty";
        case Outcome::failed:
            return "failed";
        case Outcome::refusedName:
            return "refused name";
        case Outcome::stopped:
            return "run stopped";
        case Outcome::interrupted:
            return "interrupted";
        case Outcome::wouldMigrate:
            return "would migrate";
        case Outcome::wouldMigrateAfterClearing:
            return "would migrate after clearing";
        case Outcome::wouldRepair:
            return "would repair";
    }
    return "failed";
}

std::vector<std::string> runSummaryLines(const RunReport& report) {
    std::vector<std::string> lines;
    for (const CollectionRecord& record : report.records()) lines.push_back(collectionLine(record));
    if (report.hasHandoffFailed())
        lines.push_back(std::string("Summary : ") + RunReport::handoffName + " : failed");
    lines.push_back(totalsLine(report.records()));
    return lines;
}
