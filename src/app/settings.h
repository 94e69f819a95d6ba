#pragma once
// Host names and credentials of the three databases, read from the server's
// configuration files before anything else happens.

#include <string>

// How the tool reaches MongoDB and ClickHouse: read from the configuration
// files, and as typed on the command line, where a value given replaces the
// configured one.
struct ConnectionRecord {
    std::string nosqlIp;
    std::string nosqlUser;
    std::string nosqlPasswd;
    std::string olapIp;
    std::string olapUser;
    std::string olapPassword;
};

struct ConnectionSettings {
    ConnectionRecord connections;
    // PostgreSQL has no options: its values come from the files alone.
    std::string rdbHost;
    std::string rdbUser;
    std::string rdbPassword;
};

namespace Util {
// Reads `key` of the configuration file `fileName` (a bare name, looked up
// in the configuration directory) into `out`; `out` is left as it was when
// the file or the key is missing. The file is a plain .properties file; the
// key-file, the flag and the two empty texts are accepted for the shape of
// the server's own reader and not used.
int readStringUtil(const std::string& fileName, const std::string& keyFile, int flags,
                   const std::string& unusedA, const std::string& key,
                   const std::string& unusedB, std::string& out);
}  // namespace Util

ConnectionSettings getDbUserInfo();
