#include <gtest/gtest.h>

#include <sstream>

#include "exec/id_diff.h"

namespace {
// Each id with its side, newest first: "f= e- d2 c+" (both, MongoDB only,
// once more in ClickHouse, ClickHouse only).
std::string compared(const std::string& mongo, const std::string& clickhouse, const std::string& lowest) {
    std::istringstream mongoLines(mongo), clickhouseLines(clickhouse);
    const auto from = [](std::istringstream& lines) {
        return [&lines](std::string& line) { return static_cast<bool>(std::getline(lines, line)); };
    };
    IdStreamComparison ids(from(mongoLines), from(clickhouseLines));
    std::string events;
    while (const std::optional<IdEvent> event = ids.next(lowest))
        events += event->id + "-=2+"[static_cast<int>(event->match)] + " ";
    return events + std::string(ids.unordered());
}
}  // namespace

TEST(IdStreamComparison, FindsEachSideOfEveryIdInOnePass) {
    const struct {
        const char *mongo, *clickhouse, *lowest, *events;
    } cases[] = {
        {"f\ne\nd\nc\nb\na\n", "f\nd\nd\nd\nb\n1\n0\n0\n", "", "f= e- d= d2 d2 c- b= a- 1+ 0+ 0+ "},
        {"f\ne\nd\n", "e\nd\n", "e", "f- e= "},
        {"b\na\n", "b\nc\n", "", "b= ClickHouse"},
        {"b\nb\n", "", "", "b- MongoDB"},
    };
    for (const auto& c : cases) EXPECT_EQ(compared(c.mongo, c.clickhouse, c.lowest), c.events) << c.mongo;
}

TEST(MissingRuns, ARunGoesOnUntilSomethingPresentOrAPieceThatDoesNotAdjoin) {
    std::vector<std::string> terms;
    MissingRuns runs([&terms](const MissingTerm& term) {
        terms.push_back(term.lower + "-" + term.upper + ":" + std::to_string(term.documents));
    });
    runs.beginPiece("ff", "c0");
    runs.missing("f0");
    runs.missing("e0");
    runs.present();
    runs.missing("d0");
    runs.wholePiece("bf", "80", 5);
    runs.beginPiece("7e", "00");
    runs.missing("50");
    runs.present();
    runs.missing("40");
    runs.finish();
    EXPECT_EQ(terms, (std::vector<std::string>{"e0-f0:2", "80-d0:6", "50-50:1", "40-40:1"}));
}
