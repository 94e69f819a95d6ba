#pragma once
// The one-time `merge_seq` conversion of the report collections, recorded in
// ClickHouse so that later runs leave MongoDB alone.

#include "migrate/run.h"

// True once the conversion is known done: recorded before, or recorded now
// after three clean conversions. False means it is to be tried again before
// the next report collection.
bool executeReportTypePreprocessCommand(const OlapMigrator& run);
