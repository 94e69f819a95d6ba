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

std::string dropCommandFor(const std::string& name) {
    return "mongosh 10.0.0.5:8825/qornosql -u admin -p secret --quiet --eval 'db." + name +
           ".drop()' ";
}

class Drop : public ::testing::Test {
protected:
    ~Drop() override { migrationList = saved_; }

    void listCollections(const std::string& listFile) { migrationList = parseSectionList(listFile); }

    std::string runWithAnswer(const std::string& typed) {
        std::istringstream answer(typed);
        ::testing::internal::CaptureStdout();
        dropCollections("10.0.0.5", "admin", "secret", answer, host);
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
        const std::size_t before = fake.commands().size();
        runWithAnswer(typed);
        ASSERT_EQ(fake.commands().size(), before + 1);
        EXPECT_EQ(fake.commands().back(), dropCommandFor("tb_gone"));
    }
}

TEST_F(Drop, AnyOtherAnswerDropsNothingAndStillClosesTheFrame) {
    listCollections("[zq]\ntb_kept\n");
    for (const std::string typed : {"y\n", "no\n", "yes!\n", "yess\n", "\"yes\"\n", "", "\n\n"}) {
        SCOPED_TRACE(typed);
        const std::string out = runWithAnswer(typed);
        EXPECT_TRUE(fake.commands().empty());
        EXPECT_EQ(out, hyphens + "\nDROP Collection List\n\n[zq]\ntb_kept\n\n" + hyphens + "\n" +
                           prompt + hyphens + "\n");
    }
}

TEST_F(Drop, TwoSectionsAreFramedAndDroppedInFileOrder) {
    listCollections("[zq]\ntb_j4_alert_log\ntb_j4_is_log\n[hux]\ntb_hux_snapshot\n");

    const std::string out = runWithAnswer("yes\n");

    const std::string list = hyphens +
                             "\nDROP Collection List\n\n"
                             "[zq]\ntb_j4_alert_log\ntb_j4_is_log\n\n"
                             "[hux]\ntb_hux_snapshot\n\n" +
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
    EXPECT_EQ(fake.commands(), expected);
}

TEST_F(Drop, NameListedTwiceIsDroppedTwice) {
    listCollections("[zq]\ntb_dup\n[hux]\ntb_dup\n");

    const std::string out = runWithAnswer("yes\n");

    EXPECT_EQ(fake.commands(),
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
    EXPECT_EQ(fake.commands().back(), dropCommandFor("tb_next"));
}

TEST_F(Drop, NameThatCouldEscapeTheScriptIsRefusedAndTheOthersDropped) {
    listCollections("[zq]\ntb_a\ntb_b.drop();db.tb_c\ntb_d\n");

    const std::string out = runWithAnswer("yes\n");

    EXPECT_EQ(fake.commands(),
              (std::vector<std::string>{dropCommandFor("tb_a"), dropCommandFor("tb_d")}));
    EXPECT_NE(out.find("Refused collection name \"tb_b.drop();db.tb_c\""), std::string::npos);
    EXPECT_EQ(out.find("tb_b.drop();db.tb_c collection drop"), std::string::npos);
}

TEST_F(Drop, EmptyListShowsTheFrameAndDropsNothing) {
    listCollections("");

    const std::string out = runWithAnswer("yes\n");

    EXPECT_EQ(out, hyphens + "\nDROP Collection List\n\n" + hyphens + "\n" + prompt + hyphens + "\n");
    EXPECT_TRUE(fake.commands().empty());
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
    dropCollections("10.0.0.5", "admin", "secret", answer, host);
    std::cout.rdbuf(original);

    ASSERT_TRUE(input.read);
    const std::string& shown = input.shownAtFirstRead;
    ASSERT_GE(shown.size(), prompt.size());
    EXPECT_EQ(shown.substr(shown.size() - prompt.size()), prompt);
}
}  // namespace
