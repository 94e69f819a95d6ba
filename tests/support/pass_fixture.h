#pragma once
// Shared ground of the in-process tests of one migration pass: a catalogue
// the test sets and gets back afterwards, a half-full disk, a count reply,
// and the summary and oldest-id replies every collection is asked for.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

class PassFixture : public ::testing::Test {
protected:
    using Pass = void (OlapMigrator::*)() const;
    PassFixture(Pass pass, ProductCatalogue list) : pass_(pass), list_(std::move(list)) {}

    void SetUp() override {
        saved_ = migrationList;
        migrationList = list_;
        fake.fileSystem = FileSystemFigures{1000, 4096, 500, 400};
        fake.answer("SELECT count() as cnt", "40\t40\n");
    }
    void TearDown() override { migrationList = saved_; }

    void summary(const std::string& collection, const std::string& reply) {
        fake.answer("min(oid) from mig_" + collection + "_completed\"", reply);
    }
    void oldest(const std::string& collection, const std::string& reply) {
        fake.answer("db." + collection + ".find({}, {_id: 1}).sort({_id: 1})", reply);
    }
    // Runs the pass and hands back every line it printed.
    std::vector<LoggedLine> run(const TestRun& parameters = {}) {
        migrator_ = makeTestMigrator(fake, parameters);
        StdoutCapture out;
        ((*migrator_).*pass_)();
        return out.lines();
    }
    std::vector<std::string> messages(const TestRun& parameters = {}) {
        std::vector<std::string> texts;
        for (const LoggedLine& line : run(parameters)) texts.push_back(line.message);
        return texts;
    }
    const std::vector<CollectionRecord>& records() const { return migrator_->runReport().records(); }
    std::vector<Outcome> outcomes() const {
        std::vector<Outcome> found;
        for (const CollectionRecord& record : records()) found.push_back(record.outcome);
        return found;
    }
    std::vector<std::string> pipelines() const { return fake.commandsContaining("mongoexport"); }

    FakeHost fake;

private:
    Pass pass_;
    ProductCatalogue list_;
    ProductCatalogue saved_;
    std::unique_ptr<OlapMigrator> migrator_;
};
