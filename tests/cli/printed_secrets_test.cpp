// No password in anything the tool printed, across every run of the
// command-line tests: log lines, shown writes, errors and summaries alike.
// Runs after those tests (see tests/CMakeLists.txt).

#include <gtest/gtest.h>

#include "printed_output.h"

namespace qortest {
namespace {

// Shorter passwords would be found in ordinary words of the output.
constexpr std::size_t shortestCheckedPassword = 4;

TEST(PrintedSecrets, NoRunShowedAPasswordItWasGiven) {
    const std::vector<PrintedOutput> outputs = readPrintedOutputs();
    if (outputs.empty()) {
        GTEST_SKIP() << "no run of the tool recorded in " << printedOutputDirectory()
                     << ": run this test through ctest with the command-line tests";
    }
    for (const PrintedOutput& output : outputs) {
        for (const std::string& secret : output.secrets) {
            if (secret.size() < shortestCheckedPassword) continue;
            EXPECT_EQ(output.text.find(secret), std::string::npos)
                << output.run << " printed the password " << secret << ":\n"
                << output.text;
        }
    }
}

}  // namespace
}  // namespace qortest
