#pragma once
// The real PostgreSQL server of tests/engines/postgres, shared by the tests
// of one process: started on first use, stopped when the process ends.
// Only tests that run one at a time (the cli tests) may use it: they all
// share 127.0.0.1:8817.

#include <filesystem>
#include <string>

namespace qortest {

class PostgresServer {
public:
    static constexpr const char* host = "127.0.0.1";
    static constexpr int port = 8817;
    static constexpr const char* user = "qoruser";
    static constexpr const char* password = "qorpass";
    static constexpr const char* database = "qorrdb";

    static PostgresServer& shared();

    // Runs SQL as qoruser in qorrdb; rows as `psql -At` prints them, fields
    // joined by '|'. Throws std::runtime_error when psql fails.
    std::string query(const std::string& sql) const;

    // tb_olap_table back to its one row ('0', 2020-01-01 00:00:00).
    void reset() const;

    // The real psql client.
    static std::filesystem::path psqlProgram();

    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

private:
    PostgresServer();
    ~PostgresServer();

    std::filesystem::path directory_;
};

}  // namespace qortest
