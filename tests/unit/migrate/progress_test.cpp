#include <gtest/gtest.h>

#include "../fake_host.h"
#include "migrate/progress.h"

TEST(Progress, SaysEveryTenSecondsHowFarTheSpanIsAskingMongoDBOnce) {
    FakeHost fake;
    fake.answers = {{"countDocuments(", {"10000000\n", 0}},
                    {"(select count()", {"4200000\t7140000000000000\t0\n", 0}}};
    const Host host = fake.host();
    const OlapMigrator run{.host = host};
    const CollectionKind kind = kindOf("tb_audit_log");
    Progress progress(run, kind, {.lower = std::string(24, '0'), .upper = std::string(24, 'f')}, 200000);
    std::string lines;
    for (const std::int64_t seconds : {9, 10, 19, 20, 30}) {
        fake.clock = 1'700'000'000 + seconds;
        if (seconds == 30) fake.answers["(select count()"] = {"", 1};  // no line without both figures
        testing::internal::CaptureStdout();
        progress.tick();
        const std::string line = testing::internal::GetCapturedStdout();
        lines += line.empty() ? "-\n" : line.substr(line.find("] ") + 2);
    }
    EXPECT_EQ(lines, "-\ntb_audit_log : 4200000 of 10000000 documents (42 %), 400000 a second, about 14 s left\n-\n"
                     "tb_audit_log : 4200000 of 10000000 documents (42 %), 200000 a second, about 29 s left\nSplit String Error\n");
    EXPECT_EQ(std::count_if(fake.asked.begin(), fake.asked.end(), [](const std::string& c) { return c.find("countDocuments(") != std::string::npos; }), 1);
    EXPECT_EQ(durationText(60), "1 min 0 s");
    EXPECT_EQ(durationText(3900), "1 h 5 min");
}
