#include "test_migrator.h"

std::unique_ptr<OlapMigrator> makeTestMigrator(FakeHost& fake, const TestRun& run) {
    return std::make_unique<OlapMigrator>(
        "mongo.test", "muser", "mpass", "ch.test", "cuser", "cpass", run.startTime, run.endTime,
        run.product, run.table, run.interval, "", run.diskLimit, run.memoryLimit, run.retryMode,
        run.batchCount, run.memoryLimitSet, run.waitTime, fake.host());
}
