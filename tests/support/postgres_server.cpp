#include "postgres_server.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <vector>

#include "process.h"
#include "rig_paths.h"

namespace qortest {
namespace {

std::filesystem::path serverDirectory() {
    const char* chosen = std::getenv("QOR_PG_DIR");
    return chosen ? chosen : "/tmp/qorolapmigrate-postgres";
}

ProcessResult control(const std::string& command, const std::filesystem::path& directory) {
    Environment env = rig::passedThrough();
    env["PATH"] = "/usr/sbin:/usr/bin:/sbin:/bin";
    return runProcess({(rig::enginesDirectory() / "postgres").string(), command, directory.string()}, env);
}

}  // namespace

PostgresServer::PostgresServer() : directory_(serverDirectory()) {
    const ProcessResult started = control("start", directory_);
    if (started.exitStatus != 0) {
        throw std::runtime_error("cannot start PostgreSQL in " + directory_.string() + ": " + started.err);
    }
}

PostgresServer::~PostgresServer() {
    const ProcessResult stopped = control("stop", directory_);
    if (stopped.exitStatus != 0) std::cerr << "PostgreSQL did not stop cleanly: " << stopped.err;
}

PostgresServer& PostgresServer::shared() {
    static PostgresServer server;
    return server;
}

std::filesystem::path PostgresServer::psqlProgram() {
    std::vector<std::filesystem::path> found;
    if (std::filesystem::exists("/usr/lib/postgresql")) {
        for (const auto& version : std::filesystem::directory_iterator("/usr/lib/postgresql")) {
            const auto psql = version.path() / "bin" / "psql";
            if (std::filesystem::exists(psql)) found.push_back(psql);
        }
    }
    if (found.empty()) return rig::systemProgram("psql");
    // Highest major version, as the server script picks it.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::stoi(a.parent_path().parent_path().filename().string()) <
               std::stoi(b.parent_path().parent_path().filename().string());
    });
    return found.back();
}

std::string PostgresServer::query(const std::string& sql) const {
    Environment env = rig::passedThrough();
    env["PGPASSWORD"] = password;
    const ProcessResult result =
        runProcess({psqlProgram().string(), "-h", host, "-p", std::to_string(port), "-U", user, "-d", database,
                    "-At", "-v", "ON_ERROR_STOP=1", "-c", sql},
                   env);
    if (result.exitStatus != 0) throw std::runtime_error("psql failed: " + sql + "\n" + result.err);
    return result.out;
}

void PostgresServer::reset() const {
    query("BEGIN; DELETE FROM tb_olap_table; "
          "INSERT INTO tb_olap_table VALUES ('0', '2020-01-01 00:00:00'); COMMIT;");
}

}  // namespace qortest
