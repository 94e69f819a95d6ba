#include "app/settings.h"

#include <fstream>

#include "util/log.h"
#include "util/paths.h"

namespace {
std::string configPath(const std::string& fileName) {
    return rootedPath(paths::configDirectory) + fileName;
}

std::string trimBlanks(const std::string& text) {
    const char* blanks = " \t\r\f\v";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Opening alone is not enough: a directory in the file's place opens and
// then fails on the first read, and must be reported like a missing file
// rather than pass for one whose keys are all empty.
bool isReadable(const std::string& path) {
    std::ifstream file(path);
    if (!file.is_open()) return false;
    file.peek();
    return !file.bad();
}
}  // namespace

int Util::readStringUtil(const std::string& fileName, const std::string&, int, const std::string&,
                         const std::string& key, const std::string&, std::string& out) {
    std::ifstream file(configPath(fileName));
    if (!file.is_open()) return -1;
    bool found = false;
    std::string line;
    while (std::getline(file, line)) {
        const std::string content = trimBlanks(line);
        if (content.empty() || content.front() == '#' || content.front() == '!') continue;
        const std::size_t separator = content.find_first_of("=:");
        if (separator == std::string::npos) continue;
        if (trimBlanks(content.substr(0, separator)) != key) continue;
        // The last occurrence wins, as administrators expect of a file they
        // appended a corrected value to.
        out = trimBlanks(content.substr(separator + 1));
        found = true;
    }
    return found ? 0 : -1;
}

ConnectionSettings getDbUserInfo() {
    ConnectionSettings settings;
    auto read = [](const char* fileName, const char* key, std::string& out) {
        Util::readStringUtil(fileName, "site.key", 0, "", key, "", out);
    };

    if (isReadable(configPath("qor_system.cfg"))) {
        read("qor_system.cfg", "mydb.nosql.user", settings.connections.nosqlUser);
        read("qor_system.cfg", "mydb.nosql.passwd", settings.connections.nosqlPasswd);
    } else {
        LOG("qor_system.cfg not exists");
    }

    if (isReadable(configPath("qorrdb.properties"))) {
        read("qorrdb.properties", "qorrdb.host", settings.connections.nosqlIp);
        settings.rdbHost = settings.connections.nosqlIp;
        read("qorrdb.properties", "qorrdb.user", settings.rdbUser);
        read("qorrdb.properties", "qorrdb.password", settings.rdbPassword);
    } else {
        LOG("qorrdb.properties not exists");
    }

    if (isReadable(configPath("qorolap.properties"))) {
        read("qorolap.properties", "qorolap.host", settings.connections.olapIp);
        read("qorolap.properties", "qorolap.user", settings.connections.olapUser);
        read("qorolap.properties", "qorolap.password", settings.connections.olapPassword);
    } else {
        LOG("qorolap.properties not exists");
    }
    return settings;
}
