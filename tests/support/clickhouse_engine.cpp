#include "clickhouse_engine.h"

#include <stdexcept>

#include "rig_paths.h"

namespace qortest {

ClickHouseEngine::ClickHouseEngine(std::filesystem::path sessionDirectory)
    : session_(std::move(sessionDirectory)) {
    Environment env = rig::passedThrough();
    env["PATH"] = rig::systemProgram("node").parent_path().string();
    const ProcessResult made = runProcess(
        {rig::systemProgram("node").string(), (rig::enginesDirectory() / "chdb-session").string(), "fresh",
         session_.string()},
        env);
    if (made.exitStatus != 0) {
        throw std::runtime_error("cannot prepare a ClickHouse session in " + session_.string() + ": " + made.err);
    }
}

std::filesystem::path ClickHouseEngine::clientProgram() {
    return rig::enginesDirectory() / "bin" / "clickhouse-client";
}

Environment ClickHouseEngine::environment() const {
    Environment env = rig::passedThrough();
    env["QOR_CH_SESSION_DIR"] = session_.string();
    return env;
}

std::string ClickHouseEngine::query(const std::string& sql, const std::string& input) const {
    Environment env = environment();
    env["PATH"] = rig::systemProgram("node").parent_path().string();
    const ProcessResult result = runProcess(
        {rig::systemProgram("node").string(), clientProgram().string(), "--port=8820", "--query=" + sql}, env,
        input);
    if (result.exitStatus != 0) {
        throw std::runtime_error("ClickHouse query failed (" + std::to_string(result.exitStatus) + "): " + sql +
                                 "\n" + result.err);
    }
    return result.out;
}

std::string ClickHouseEngine::value(const std::string& sql) const {
    const std::string out = query(sql);
    return out.substr(0, out.find('\n'));
}

std::int64_t ClickHouseEngine::count(const std::string& table) const {
    return std::stoll(value("SELECT count() FROM " + table));
}

void ClickHouseEngine::resetCallCount() const { std::filesystem::remove(session_ / ".qor-call-count"); }

}  // namespace qortest
