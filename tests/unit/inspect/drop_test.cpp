#include "inspect/drop.h"

#include <gtest/gtest.h>

#include <iostream>
#include <regex>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "fake_host.h"
#include "util/parsers.h"

namespace {
const std::string hyphens(56, '-');
const std::string prompt = "Are you sure you want to drop the collection? (yes/no) : ";

const std::string forcePrompt =
    "Collections marked [NOT MIGRATED] would be lost. Type force to drop them anyway (force/no) : ";
const ClickHouseLogin clickhouse{"ch.test", "cuser", "cpass"};

// A listed collection as shown when its completed table holds 12 rows.
std::string shown(const std::string& name) { return name + "  (completed rows : 12)"; }

std::string dropCommandFor(const std::string& name) {
    return "mongosh 10.0.0.5:8825/qornosql -u admin -p secret --quiet --eval 'db." + name +
           ".drop()' ";
}

class Drop : public ::testing::Test {
protected:
    Drop() { fake.answer("select count() from mig_", "12\n"); }
    ~Drop() override { migrationList = saved_; }

    std::vector<std::string> drops() const { return fake.commandsContaining(".drop()"); }

    void listCollections(const std::string& listFile) { migrationList = parseSectionList(listFile); }

    std::string runWithAnswer(const std::string& typed) {
        std::istringstream answer(typed);
        ::testing::internal::CaptureStdout();
        dropCollections("10.0.0.5", "admin", "secret", clickhouse, answer, host);
        return ::testing::internal::GetCapturedStdout();
    }

    FakeHost fake;
    Host host = fake.host();

private:
    ProductCatalogue saved_ = migrationList;
};

TEST_F(Drop, FirstWordYesInAnyCaseConfirms) {
    listCollections("[zq]\ntb_gone\n");
    for (const std::string typed : {"yes\n", "YES\n", "Yes\n", "yes please\n", "  \n\t yes"}) {
        SCOPED_TRACE(typed);
        const std::size_t before = drops().size();
        runWithAnswer(typed);
        ASSERT_EQ(drops().size(), before + 1);
        EXPECT_EQ(drops().back(), dropCommandFor("tb_gone"));
    }
}

TEST_F(Drop, AnyOtherAnswerDropsNothingAndStillClosesTheFrame) {
    listCollections("[zq]\ntb_kept\n");
    for (const std::string typed : {"y\n", "no\n", "yes!\n", "yess\n", "\"yes\"\n", "", "\n\n"}) {
        SCOPED_TRACE(typed);
        const std::string out = runWithAnswer(typed);
        EXPECT_TRUE(drops().empty());
        EXPECT_EQ(out, hyphens + "\nDROP Collection List\n\n[zq]\n" + shown("tb_kept") + "\n\n" +
                           hyphens + "\n" + prompt + hyphens + "\n");
    }
}

TEST_F(Drop, TwoSectionsAreFramedAndDroppedInFileOrder) {
    listCollections("[zq]\ntb_j4_alert_log\ntb_j4_is_log\n[hux]\ntb_hux_snapshot\n");

    const std::string out = runWithAnswer("yes\n");

    const std::string list = hyphens +
                             "\nDROP Collection List\n\n"
                             "[zq]\n" + shown("tb_j4_alert_log") + "\n" + shown("tb_j4_is_log") +
                             "\n\n[hux]\n" + shown("tb_hux_snapshot") + "\n\n" +
                             hyphens + "\n" + prompt;
    ASSERT_EQ(out.substr(0, list.size()), list);

    const std::string stamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} - )";
    std::string progress;
    for (const std::string name : {"tb_j4_alert_log", "tb_j4_is_log", "tb_hux_snapshot"}) {
        progress += stamp + name + " collection drop start \n" + stamp + name +
                    " collection drop end \n\n";
    }
    EXPECT_TRUE(std::regex_match(out.substr(list.size()), std::regex(progress + hyphens + "\n")))
        << out;

    const std::vector<std::string> expected = {dropCommandFor("tb_j4_alert_log"),
                                               dropCommandFor("tb_j4_is_log"),
                                               dropCommandFor("tb_hux_snapshot")};
    EXPECT_EQ(drops(), expected);
    EXPECT_EQ(fake.commandsContaining("select count() from mig_tb_zq_alert_log_completed").size(), 1u);
}

TEST_F(Drop, NameListedTwiceIsDroppedTwice) {
    listCollections("[zq]\ntb_dup\n[hux]\ntb_dup\n");

    const std::string out = runWithAnswer("yes\n");

    EXPECT_EQ(drops(),
              (std::vector<std::string>{dropCommandFor("tb_dup"), dropCommandFor("tb_dup")}));
    const std::regex start(" - tb_dup collection drop start \n");
    EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), start),
                            std::sregex_iterator()),
              2);
}

TEST_F(Drop, FailedDropStillGetsItsLinesAndTheNextOneRuns) {
    listCollections("[zq]\ntb_missing\ntb_next\n");
    fake.answer("db.tb_missing.drop()", "MongoServerError: ns not found\n", 1);

    const std::string out = runWithAnswer("yes\n");

    EXPECT_NE(out.find(" - tb_missing collection drop end \n"), std::string::npos);
    EXPECT_EQ(drops().back(), dropCommandFor("tb_next"));
}

TEST_F(Drop, NameThatCouldEscapeTheScriptIsRefusedAndTheOthersDropped) {
    listCollections("[zq]\ntb_a\ntb_b.drop();db.tb_c\ntb_d\n");

    const std::string out = runWithAnswer("force\n");

    EXPECT_EQ(drops(), (std::vector<std::string>{dropCommandFor("tb_a"), dropCommandFor("tb_d")}));
    EXPECT_TRUE(fake.commandsContaining("tb_b.drop();db.tb_c_completed").empty());
    EXPECT_NE(out.find("Refused collection name \"tb_b.drop();db.tb_c\""), std::string::npos);
    EXPECT_EQ(out.find("tb_b.drop();db.tb_c collection drop"), std::string::npos);
}

TEST_F(Drop, EmptyListShowsTheFrameAndDropsNothing) {
    listCollections("");

    const std::string out = runWithAnswer("yes\n");

    EXPECT_EQ(out, hyphens + "\nDROP Collection List\n\n" + hyphens + "\n" + prompt + hyphens + "\n");
    EXPECT_TRUE(fake.commands().empty());
}

TEST_F(Drop, ACollectionWithoutCompletedRowsIsMarkedAndOnlyForceDropsTheList) {
    listCollections("[zq]\ntb_done\ntb_empty\n[hux]\ntb_unread\ntb_garbled\n");
    fake.answer("mig_tb_empty_completed", "0\n");
    fake.answer("mig_tb_unread_completed", "", 1);
    fake.answer("mig_tb_garbled_completed", "Code: 60\n");

    for (const std::string typed : {"yes\n", "YES\n", "no\n", "forced\n", ""}) {
        SCOPED_TRACE(typed);
        const std::string out = runWithAnswer(typed);
        EXPECT_TRUE(drops().empty());
        const std::string frame = hyphens + "\nDROP Collection List\n\n[zq]\n" + shown("tb_done") +
                                  "\ntb_empty  (completed rows : 0) [NOT MIGRATED]\n\n[hux]\n"
                                  "tb_unread  (completed rows : unreadable) [NOT MIGRATED]\n"
                                  "tb_garbled  (completed rows : unreadable) [NOT MIGRATED]\n\n" +
                                  hyphens + "\n" + forcePrompt;
        const std::size_t at = out.find(frame);
        ASSERT_NE(at, std::string::npos) << out;
        const std::string after = out.substr(at + frame.size());
        const bool saidYes = typed.rfind("yes", 0) == 0 || typed.rfind("YES", 0) == 0;
        EXPECT_EQ(after, (saidYes ? "Nothing dropped: collections marked [NOT MIGRATED] need the "
                                    "answer force\n"
                                  : "") +
                             hyphens + "\n");
    }

    runWithAnswer("Force\n");
    EXPECT_EQ(drops(), (std::vector<std::string>{dropCommandFor("tb_done"), dropCommandFor("tb_empty"),
                                                 dropCommandFor("tb_unread"),
                                                 dropCommandFor("tb_garbled")}));
}

TEST_F(Drop, ForceIsNoAnswerWhenEveryCollectionIsMigrated) {
    listCollections("[zq]\ntb_done\n");
    const std::string out = runWithAnswer("force\n");
    EXPECT_NE(out.find(prompt), std::string::npos);
    EXPECT_TRUE(drops().empty());
}

// Output that only counts as shown once it has been flushed, and an input
// that notes what had been shown when the answer was first asked for.
class FlushTracker : public std::streambuf {
public:
    std::string shown;

protected:
    int overflow(int c) override {
        if (c != traits_type::eof()) pending_.push_back(static_cast<char>(c));
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int sync() override {
        shown += pending_;
        pending_.clear();
        return 0;
    }

private:
    std::string pending_;
};

class WatchingInput : public std::streambuf {
public:
    explicit WatchingInput(const FlushTracker& screen) : screen_(screen) {}
    std::string shownAtFirstRead;
    bool read = false;

protected:
    int underflow() override {
        if (!read) shownAtFirstRead = screen_.shown;
        read = true;
        if (served_) return traits_type::eof();
        served_ = true;
        setg(text_, text_, text_ + 3);
        return traits_type::to_int_type(text_[0]);
    }

private:
    const FlushTracker& screen_;
    char text_[4] = "no\n";
    bool served_ = false;
};

TEST_F(Drop, PromptIsOnScreenBeforeTheAnswerIsRead) {
    listCollections("[zq]\ntb_kept\n");
    FlushTracker screen;
    WatchingInput input(screen);
    std::istream answer(&input);
    std::streambuf* const original = std::cout.rdbuf(&screen);
    dropCollections("10.0.0.5", "admin", "secret", clickhouse, answer, host);
    std::cout.rdbuf(original);

    ASSERT_TRUE(input.read);
    const std::string& shown = input.shownAtFirstRead;
    ASSERT_GE(shown.size(), prompt.size());
    EXPECT_EQ(shown.substr(shown.size() - prompt.size()), prompt);
}
}  // namespace
