#include "printed_output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace qortest {
namespace {

std::string currentTestName() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test == nullptr) return "outside-a-test";
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

std::filesystem::path printedOutputDirectory() { return QOR_PRINTED_OUTPUT_DIR; }

void keepPrintedOutput(const std::vector<std::string>& secrets, const ProcessResult& result) {
    static int runs = 0;
    const std::filesystem::path directory = printedOutputDirectory();
    std::filesystem::create_directories(directory);
    const std::string base = currentTestName() + "-" + std::to_string(getpid()) + "-" +
                             std::to_string(++runs);
    std::string secretList;
    for (const std::string& secret : secrets) secretList += secret + '\0';
    writeAll(directory / (base + ".secrets"), secretList);
    writeAll(directory / (base + ".printed"), result.out + result.err);
}

std::vector<PrintedOutput> readPrintedOutputs() {
    std::vector<PrintedOutput> outputs;
    if (!std::filesystem::exists(printedOutputDirectory())) return outputs;
    for (const auto& entry : std::filesystem::directory_iterator(printedOutputDirectory())) {
        if (entry.path().extension() != ".printed") continue;
        PrintedOutput output;
        output.run = entry.path().stem().string();
        output.text = readAll(entry.path());
        std::istringstream secrets(readAll(std::filesystem::path(entry.path()).replace_extension(".secrets")));
        for (std::string secret; std::getline(secrets, secret, '\0');) output.secrets.push_back(secret);
        outputs.push_back(std::move(output));
    }
    std::sort(outputs.begin(), outputs.end(),
              [](const PrintedOutput& a, const PrintedOutput& b) { return a.run < b.run; });
    return outputs;
}

}  // namespace qortest
