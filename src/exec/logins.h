#pragma once
// Connection values of the three databases, as the command lines need them.

#include <string>

struct MongoLogin {
    std::string host;
    std::string user;
    std::string password;
};

struct ClickHouseLogin {
    std::string host;
    std::string user;
    std::string password;
};

struct PostgresLogin {
    std::string host;
    std::string user;
    std::string password;
};
