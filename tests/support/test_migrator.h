#pragma once
// A migration context for in-process tests: fixed logins, run parameters a
// test can change, and a FakeHost behind every command.

#include <cstdint>
#include <memory>
#include <string>

#include "app/context.h"
#include "fake_host.h"

struct TestRun {
    std::string startTime;
    std::string endTime;
    std::string product;
    std::string table;
    std::int32_t interval = 24;
    std::int64_t diskLimit = 90;
    std::int32_t memoryLimit = 50;
    std::int32_t retryMode = 0;
    std::int32_t batchCount = 50;
    std::int32_t memoryLimitSet = 0;
    std::int32_t waitTime = 7;
};

// MongoDB at mongo.test as muser/mpass, ClickHouse at ch.test as cuser/cpass.
std::unique_ptr<OlapMigrator> makeTestMigrator(FakeHost& fake, const TestRun& run = {});
