#pragma once
// Environment changes that last for one test: the doubles of the outside
// programs are found through PATH, and the fixed paths of the tool move
// with QOROLAPMIGRATE_ROOT.

#include <optional>
#include <string>

class ScopedEnvironment {
public:
    // Sets `name` to `value`; without a value the variable is removed.
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// PATH with `directory` in front, so that its programs win over the real ones.
std::string pathWithFirst(const std::string& directory);
