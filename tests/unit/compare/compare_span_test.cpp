// The comparison behind every verification, repair and drop, on answers a
// server could give: what each finding is, and that an answer which does not
// add up is never taken for one.

#include <gtest/gtest.h>

#include "../fake_host.h"
#include "compare/compare_span.h"

namespace {
// Three documents of three seconds; d is a fourth, newer one.
const std::string a = "650f00020000000000000000", b = "650f00010000000000000000", c = "650f00000000000000000000",
                  d = "650f00030000000000000000";
const std::string lower = "650000000000000000000000", upper = "650fffffffffffffffffffff";
std::string exported(const std::string& id) { return "{\"_id\":{\"$oid\":\"" + id + "\"}}\n"; }

std::string compared(const std::map<std::string, std::pair<std::string, int>>& answers) {
    FakeHost fake;
    // MongoDB holds a, b and c; the completed table a, b and c.
    fake.answers = {{"aggregate(", {"3 5086445571\n", 0}},
                    {"countDocuments(", {"0\n", 0}},
                    {"(select count()", {"3\t5086445571\t0\n", 0}},
                    {"--fields _id", {exported(a) + exported(b) + exported(c), 0}},
                    {"select oid from", {a + "\n" + b + "\n" + c + "\n", 0}}};
    for (const auto& [fragment, answer] : answers) fake.answers[fragment] = answer;
    const Host host = fake.host();
    const MongoLogin mongo;
    const ClickHouseLogin clickhouse;
    std::string terms;
    const SpanComparison result =
        compareSpan({mongo, clickhouse, "tb_a", "mig_tb_a_completed", {}}, {.lower = lower, .upper = upper}, host,
                    [&terms](const MissingTerm& term) { terms += " " + term.lower.substr(6, 2); });
    if (!result.findings) return result.unreadableSide + ": " + result.why;
    const SpanFindings& f = *result.findings;
    return std::to_string(f.missing) + " missing" + terms + ", " + std::to_string(f.twice) + " twice, " +
           std::to_string(f.letGo) + " let go";
}
}  // namespace

TEST(SpanComparison, FindsEachKindOfDifferenceAndTrustsNoAnswerThatDoesNotAddUp) {
    const std::string listedTwiceA = a + "\n" + a + "\n" + c + "\n";
    std::string zeros;  // sixteen pieces, all empty
    for (int piece = 0; piece < 16; ++piece) zeros += "0 0 ";
    const struct {
        const char* what;
        std::map<std::string, std::pair<std::string, int>> answers;
        std::string found;
    } cases[] = {
        {"equal", {}, "0 missing, 0 twice, 0 let go"},
        {"equal counts, b missing and a twice",
         {{"(select count()", {"3\t5086445572\t0\n", 0}}, {"select oid from", {listedTwiceA, 0}}},
         "1 missing 01, 1 twice, 0 let go"},
        {"equal counts, b missing and d let go",
         {{"(select count()", {"3\t5086445573\t0\n", 0}}, {"select oid from", {d + "\n" + a + "\n" + c + "\n", 0}}},
         "1 missing 01, 0 twice, 1 let go"},
        {"nothing in ClickHouse", {{"(select count()", {"0\t0\t0\n", 0}}}, "3 missing 00, 0 twice, 0 let go"},
        {"a listing shorter than its count",
         {{"(select count()", {"2\t3390963713\t0\n", 0}}, {"--fields _id", {exported(a) + exported(c), 0}}},
         "MongoDB: MongoDB listed 2 ids for a piece of 3"},
        {"a listing out of order",
         {{"(select count()", {"2\t3390963714\t0\n", 0}}, {"select oid from", {c + "\n" + a + "\n", 0}}},
         "ClickHouse: ClickHouse listed ids out of order"},
        {"a listed line that is no ObjectId",
         {{"(select count()", {"2\t3390963714\t0\n", 0}}, {"select oid from", {a + "\nCode: 241\n" + c + "\n", 0}}},
         "ClickHouse: a line without an ObjectId"},
        {"a fingerprint that is not a number", {{"aggregate(", {"3 5.086e9\n", 0}}},
         "MongoDB: a summary that is not a number"},
        {"a marked table", {{"(select count()", {"3\t5086445571\t1\n", 0}}},
         "ClickHouse: marked by a retry that did not end well: run retry again"},
        {"pieces that do not add up to their parent",
         {{"aggregate(", {"20002 33909637140000\n", 0}}, {"['650f0000000000", {zeros + "\n", 0}},
          {"(select count()", {"20001\t33909637130000\t0\n", 0}}},
         "MongoDB: MongoDB's pieces between " + lower + " and " + upper + " do not add up to them"},
    };
    for (const auto& c : cases) EXPECT_EQ(compared(c.answers), c.found) << c.what;
}
