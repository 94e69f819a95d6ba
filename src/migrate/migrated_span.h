#pragma once
// What a collection's completed table says has been migrated already: the
// one record a run has of earlier runs. Both passes read it before they
// decide what to move.

#include <cstdint>
#include <optional>
#include <string>

struct OlapMigrator;
struct CollectionKind;

struct MigratedSpan {
    std::int64_t count = 0;
    std::string countText;  // the count as ClickHouse printed it, for the log lines
    std::int64_t first = 0; // epoch seconds of the oldest and newest migrated row
    std::int64_t last = 0;
    std::string firstOid;   // the smallest migrated ObjectId; empty when nothing is
    std::string firstText;  // first and last as UTC "YYYY-MM-DD HH:MM:SS"
    std::string lastText;
};

// Reads the summary row of the collection's completed table. Nothing comes
// back when ClickHouse printed fewer than its four fields (a missing table
// or an unreachable server prints none); the caller logs "Split String
// Error" under its own name and goes on with the next collection. A count
// or time that is not a number throws, which ends the run through the
// driver's error handler.
std::optional<MigratedSpan> readMigratedSpan(const OlapMigrator& run, const CollectionKind& kind);

// The requested seconds [start, end] and the migrated span, both closed,
// share at least one second.
bool overlapsMigratedSpan(const MigratedSpan& span, std::int64_t start, std::int64_t end);
