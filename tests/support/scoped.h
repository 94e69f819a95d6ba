#pragma once
// Small scope guards for tests: a temporary directory and an environment
// variable that are put back as they were when the test ends.

#include <optional>
#include <string>

class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& path() const { return path_; }
    // Writes `content` to `relative` below the directory, creating parents.
    std::string write(const std::string& relative, const std::string& content) const;

private:
    std::string path_;
};

class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

std::string readWholeFile(const std::string& path);
