#pragma once
// A ClickHouse for one test: a chDB session directory holding the migration
// schema (copied from a template built once per machine), reached through
// the clickhouse-client stand-in of tests/engines. A chdb-server keeps the
// session open while the engine lives, so each client call is cheap.

#include <cstdint>
#include <filesystem>
#include <string>

#include "process.h"

namespace qortest {

class ClickHouseEngine {
public:
    // Replaces whatever is at `sessionDirectory` by a fresh copy of the schema
    // and starts its server.
    explicit ClickHouseEngine(std::filesystem::path sessionDirectory);
    ~ClickHouseEngine();
    ClickHouseEngine(const ClickHouseEngine&) = delete;
    ClickHouseEngine& operator=(const ClickHouseEngine&) = delete;

    const std::filesystem::path& sessionDirectory() const { return session_; }

    // Runs `;`-separated SQL; `input` feeds a final INSERT ... FORMAT. Returns
    // the tab-separated output; throws std::runtime_error with the client's
    // message when it fails. Not recorded, and never counted as a call of the tool.
    std::string query(const std::string& sql, const std::string& input = "") const;

    // The first line of the output, without its newline.
    std::string value(const std::string& sql) const;
    std::int64_t count(const std::string& table) const;

    // Starts the call count of QOR_CH_FAIL_ON_CALL again from zero.
    void resetCallCount() const;

    // What the stand-in needs to find this session.
    Environment environment() const;

    // The stand-in program, for PATH.
    static std::filesystem::path clientProgram();

private:
    void startServer();

    std::filesystem::path session_;
    int serverPid_ = -1;
};

}  // namespace qortest
