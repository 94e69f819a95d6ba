#include "migrate/progress.h"

#include "compare/side_summaries.h"
#include "util/log.h"

namespace {
constexpr std::int64_t lineEverySeconds = 10;
}  // namespace

Progress::Progress(const OlapMigrator& run, const CollectionKind& kind, ObjectIdSpan span,
                   std::int64_t rowsBefore)
    : run_(run),
      kind_(kind),
      span_(std::move(span)),
      rowsBefore_(rowsBefore),
      began_(run.host.now()),
      lastLine_(began_) {}

void Progress::tick() {
    const std::int64_t now = run_.host.now();
    if (now - lastLine_ < lineEverySeconds) return;
    lastLine_ = now;
    if (!documents_) {
        const SideReading<std::int64_t> counted = countDocuments(run_.mongo, kind_.name, span_, run_.host);
        if (counted.value) documents_ = *counted.value;
    }
    const SideReading<Summary> rows = summarizeCompletedRows(run_.clickhouse, kind_.completedTable, span_, run_.host);
    // A line is worth nothing without both figures; the next one may have them.
    if (!documents_ || !rows.value) return;
    const std::int64_t done = rows.value->count;
    const std::int64_t perSecond = (done - rowsBefore_) / std::max<std::int64_t>(now - began_, 1);
    const std::int64_t percent = *documents_ > 0 ? done * 100 / *documents_ : 100;
    LOG_AS(kind_.loggedAs, kind_.name, " : ", done, " of ", *documents_, " documents (", percent, " %), ", perSecond,
           " a second",
           perSecond > 0 && *documents_ > done
               ? ", about " + durationText((*documents_ - done) / perSecond) + " left"
               : std::string());
}

std::string durationText(std::int64_t seconds) {
    if (seconds < 60) return std::to_string(seconds) + " s";
    if (seconds < 3600) return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
    return std::to_string(seconds / 3600) + " h " + std::to_string(seconds % 3600 / 60) + " min";
}
