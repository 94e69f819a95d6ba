#pragma once
// Fixed absolute paths of the tool. On a server they are used as written;
// with QOROLAPMIGRATE_ROOT set (tests, the sandbox) every one of them is taken
// below that directory instead, in the command lines too.

#include <string>
#include <string_view>

std::string rootedPath(std::string_view absolutePath);

namespace paths {
inline constexpr std::string_view configDirectory = "/opt/tevrik/qor/etc/config/";
inline constexpr std::string_view pidDirectory = "/var/run/qor";
inline constexpr std::string_view pidFile = "/var/run/qor/qorolapmigrate.pid";
inline constexpr std::string_view childLedger = "/var/run/qor/qorolapmigrate.children";
inline constexpr std::string_view clickhouseStorage = "/tevfs/clickhouse";
inline constexpr std::string_view nosqlStorage = "/tevfs/nosql";
inline constexpr std::string_view workDirectory = "/tmp";
inline constexpr std::string_view oidTempFile = "/tmp/oid_temp.txt";
inline constexpr std::string_view oidListFile = "/tmp/oid_list.txt";
}  // namespace paths
