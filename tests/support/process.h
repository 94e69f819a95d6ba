#pragma once
// Runs one child process to its end with a given environment and standard
// input, and hands back everything it wrote. The rig's only way of starting
// programs: the tool, the doubles and the engines all go through here.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qortest {

using Environment = std::map<std::string, std::string>;

struct ProcessResult {
    std::string out;
    std::string err;
    // Exit code of a normal exit, 128 + signal number for a killed child.
    int exitStatus = -1;
};

// argv[0] is looked up in env's PATH when it holds no slash. Throws
// std::runtime_error when the child cannot be started at all.
ProcessResult runProcess(const std::vector<std::string>& argv, const Environment& env,
                         const std::string& stdinText = "",
                         const std::filesystem::path& workingDirectory = {});

// The full path of `program` in the test process's own PATH, else empty.
std::filesystem::path findInPath(const std::string& program);

}  // namespace qortest
