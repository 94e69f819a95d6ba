#pragma once
// The one-time `merge_seq` conversion of the report collections, recorded in
// ClickHouse so that later runs leave MongoDB alone.

#include "migrate/run.h"

enum class Preprocessing {
    done,       // recorded before, or recorded now after three clean conversions
    notDone,    // a conversion or the record failed: tried again by the next run
    unchecked,  // the record could not be read, so nothing is known
};

Preprocessing executeReportTypePreprocessCommand(const OlapMigrator& run);
