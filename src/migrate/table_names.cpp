#include "migrate/table_names.h"

std::string toOlapTableName(const std::string& collection) {
    std::string name = collection;
    const std::size_t at = name.find("j4");
    if (at != std::string::npos) name.replace(at, 2, "zq");
    return name;
}

std::string stagingTableName(const std::string& collection) {
    return "mig_" + toOlapTableName(collection);
}

std::string completedTableName(const std::string& collection) {
    return "mig_" + toOlapTableName(collection) + "_completed";
}
