#include "scoped_environment.h"

#include <stdlib.h>

namespace {
void setOrRemove(const std::string& name, const std::optional<std::string>& value) {
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}

std::optional<std::string> currentValue(const std::string& name) {
    const char* value = getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}
}  // namespace

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)), previous_(currentValue(name_)) {
    setOrRemove(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() { setOrRemove(name_, previous_); }

std::string pathWithFirst(const std::string& directory) {
    const std::optional<std::string> path = currentValue("PATH");
    return path ? directory + ":" + *path : directory;
}
