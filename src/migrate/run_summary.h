#pragma once
// The closing summary of a run: what an operator reads the next morning to
// know whether a "repair" is needed, and for which collection.

#include <string>
#include <string_view>
#include <vector>

#include "migrate/run_report.h"

std::string_view outcomeText(Outcome outcome);

// One line per visited collection, in visiting order, then the totals:
//   Summary : tb_audit_log : migrated, verified 3000, staging 0, completed 3000, 12 s
//   Summary : tb_audit_log : repaired 410, verified 2000, 12 s
//   Summary : tb_report_data : incomplete, run repair -t tb_report_data, 1 s
//   Summary : tb_backup_log : failed, 2 rows twice, run retry -t tb_backup_log, 3 s
//   Summary : tb_audit_log : would repair 20, 3 s             (a dry run)
//   Summary total : 4 collections, 1 migrated, 1 repaired, 1 incomplete, 1 failed
// Counts appear only when they were read; the totals name only the
// outcomes that occurred, in a fixed order.
std::vector<std::string> runSummaryLines(const RunReport& report);
