#include "rig_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace qortest::rig {

std::filesystem::path sourceDirectory() { return QOR_SOURCE_DIR; }
std::filesystem::path toolBinary() { return QOR_BINARY; }
std::filesystem::path fakesBin() { return sourceDirectory() / "tests/fakes/bin"; }
std::filesystem::path fakesCanned() { return sourceDirectory() / "tests/fakes/canned"; }
std::filesystem::path enginesDirectory() { return sourceDirectory() / "tests/engines"; }

std::filesystem::path systemProgram(const std::string& name) {
    for (const char* directory : {"/usr/bin", "/bin", "/usr/local/bin"}) {
        const std::filesystem::path candidate = std::filesystem::path(directory) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    const std::filesystem::path found = findInPath(name);
    if (found.empty()) throw std::runtime_error(name + " is not installed (run scripts/install-test-deps)");
    return found;
}

Environment passedThrough() {
    Environment env;
    for (const char* name : {"QOR_CHDB_DIR", "QOR_CHDB_TEMPLATE_ROOT", "QOR_PG_TEMPLATE_ROOT", "ASAN_OPTIONS",
                             "UBSAN_OPTIONS", "LSAN_OPTIONS", "TZ"}) {
        if (const char* value = std::getenv(name)) env[name] = value;
    }
    return env;
}

}  // namespace qortest::rig
