#pragma once
// What the tool printed in every run of the test suite, kept with the
// secrets that run was given, so that one test can look through all of it
// for a password the tool should never show.

#include <filesystem>
#include <string>
#include <vector>

#include "process.h"

namespace qortest {

struct PrintedOutput {
    std::string run;                   // the test and the run's number within it
    std::vector<std::string> secrets;  // the passwords the run was given
    std::string text;                  // standard output, then standard error
};

// Shared by all test processes of one build; the test driver empties it
// before the command-line tests.
std::filesystem::path printedOutputDirectory();

// Called by Sandbox::run for every run of the tool.
void keepPrintedOutput(const std::vector<std::string>& secrets, const ProcessResult& result);

std::vector<PrintedOutput> readPrintedOutputs();

}  // namespace qortest
