// The configuration reader on arbitrary file contents, written below a
// scratch QOROLAPMIGRATE_ROOT: no crash, values come back trimmed and on one
// line, and a key appended at the end of the file is the one that counts.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/settings.h"
#include "fuzz_check.h"
#include "util/paths.h"

namespace {
std::string scratchRoot;
std::string configDirectory;

void writeConfig(const std::string& name, const std::string& text) {
    std::ofstream(configDirectory + name, std::ios::binary | std::ios::trunc) << text;
}

bool isTrimmedOneLine(const std::string& value) {
    if (value.find('\n') != std::string::npos) return false;
    if (value.empty()) return true;
    const std::string blanks = " \t\r\f\v";
    return blanks.find(value.front()) == std::string::npos &&
           blanks.find(value.back()) == std::string::npos;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Memory-backed: every input is written to three files and read back.
    char root[] = "/dev/shm/qor-properties-fuzz-XXXXXX";
    if (mkdtemp(root) == nullptr) std::abort();
    scratchRoot = root;
    std::atexit([] { std::filesystem::remove_all(scratchRoot); });
    setenv("QOROLAPMIGRATE_ROOT", root, 1);
    configDirectory = rootedPath(paths::configDirectory);
    std::filesystem::create_directories(configDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    writeConfig("qor_system.cfg", text);
    writeConfig("qorrdb.properties", text);
    writeConfig("qorolap.properties", text + "\n  qorolap.host =\tfuzz-sentinel \n");
    const ConnectionSettings settings = getDbUserInfo();
    for (const std::string* value :
         {&settings.nosqlUser, &settings.nosqlPasswd, &settings.nosqlIp, &settings.rdbUser,
          &settings.rdbPassword, &settings.olapUser, &settings.olapPassword}) {
        fuzzCheck(isTrimmedOneLine(*value), "values are trimmed and on one line", text);
    }
    fuzzCheck(settings.rdbHost == settings.nosqlIp, "the PostgreSQL host is the MongoDB host",
              text);
    fuzzCheck(settings.olapIp == "fuzz-sentinel", "the last occurrence of a key wins", text);

    std::string untouched = "kept";
    Util::readStringUtil("qorolap.properties", "site.key", 0, "", "no.such.key.in.fuzz", "",
                         untouched);
    fuzzCheck(untouched == "kept" || text.find("no.such.key.in.fuzz") != std::string::npos,
              "a key the file lacks leaves the output alone", text);
    return 0;
}
