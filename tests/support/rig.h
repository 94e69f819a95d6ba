#pragma once
// The end-to-end rig (tests/README.md).

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qortest {

// The ClickHouse objects the migration writes to, for every collection of the built-in catalogue.
std::string schemaSql();

struct Result {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
    std::vector<std::string> messages(const std::string& prefix = "") const;  // of log lines starting so
    std::vector<std::string> summary() const;  // the "Summary …" lines without their seconds
    // One of them, -1 the last; "" when there is none, so that a run that wrote none fails its test only.
    std::string summaryLine(int i) const { const auto s = summary(); return s.empty() ? "" : s.at((i + s.size()) % s.size()); }
};

struct Call {
    std::vector<std::string> argv;
    std::map<std::string, std::string> info;  // parent, grandparent, stdin, config_mode, config_existed
    std::int64_t began = 0, ended = 0;        // nanoseconds since boot; ended 0 while it runs
};
// The most calls that ran at the same time.
std::size_t mostAtOnce(const std::vector<Call>& calls);

// One chDB and one PostgreSQL server per test process, emptied for each Sandbox; processes that run side
// by side give theirs a loopback address each in QOR_PG_HOST, as the tool's port is fixed.
struct Engines {
    static Engines& get() { static Engines engines; return engines; }
    std::string clickhouse(const std::string& sql);
    std::int64_t count(const std::string& table) { return std::stoll(clickhouse("select count() from " + table)); }
    std::string postgres(const std::string& sql);
    const std::filesystem::path dir;
    const std::string host;
    std::string pgPassword = "qorpass";

private:
    Engines();
    ~Engines();
    pid_t server_;
};

// Passwords, and the users MongoDB's double and the ClickHouse client check.
struct Logins { std::string mongo = "mongopass", clickhouse = "chpass", postgres = "qorpass", mongoUser = "mongouser", clickhouseUser = "chuser"; };

class Sandbox {
public:
    explicit Sandbox(const Logins& logins = {});
    ~Sandbox();
    std::filesystem::path path(const std::string& absolute) const { return root_.string() + absolute; }
    std::string write(const std::string& relative, const std::string& text) const;
    void env(const std::string& name, const std::string& value) { env_[name] = value; }
    // A MongoDB collection with one document at each of `seconds` (Unix time), dated then unless
    // `datedAt` names another time for it; without `createTime` only data_date dates it.
    void collection(const std::string& name, const std::vector<std::int64_t>& seconds,
                    const std::map<std::int64_t, std::int64_t>& datedAt = {}, bool createTime = true) const;
    // MongoDB lets the document of rank `rank` go (the oldest is 1); ClickHouse keeps its rows.
    void letGo(const std::string& name, int rank) const;

    Result run(const std::vector<std::string>& args, const std::string& input = "") const;
    // Starts the tool in a process group of its own; finish() waits for it.
    pid_t start(const std::vector<std::string>& args) const;
    Result finish(pid_t pid) const;
    std::string outputSoFar(pid_t pid) const;  // what a started tool has written to standard output
    Result shell(const std::string& script, std::vector<std::string> args = {}) const;  // sh -c SCRIPT, the tool as $0, args as "$@"
    std::vector<Call> calls(const std::string& program) const;
    std::vector<Call> loads(const std::string& collection) const;  // its exports but the ObjectId lists

private:
    std::filesystem::path root_;
    std::map<std::string, std::string> env_;
};

// `count` seconds spread evenly over [from, to]; midnight UTC `days` ago; "YYYY-MM-DD" of a time, UTC.
std::vector<std::int64_t> spread(std::int64_t from, std::int64_t to, int count);
std::int64_t daysAgo(int days);
std::string isoDay(std::int64_t seconds);

}  // namespace qortest
