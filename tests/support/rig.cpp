#include "rig.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fstream>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace qortest {
namespace {

const fs::path source = QOR_SOURCE_DIR;
const std::string path = "PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
// The tool keeps a stop signal its caller ignores (nohup, a shell's "&"), so the suite, started that way
// by scripts/mutate or a CI runner, hands its runs the signals of an operator's terminal.
[[maybe_unused]] const bool terminalSignals = [] {
    for (const int signal : {SIGINT, SIGQUIT, SIGHUP}) std::signal(signal, SIG_DFL);
    return true;
}();

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string spill(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

// Output goes to files named after the child, so that no pipe fills up while nobody reads it.
pid_t spawn(std::vector<std::string> argv, const std::vector<std::string>& env, const fs::path& input, const fs::path& outputs) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    setpgid(0, 0);
    const std::string stem = outputs.string() + "/" + std::to_string(getpid());
    dup2(open(input.c_str(), O_RDONLY), 0);
    dup2(open((stem + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    dup2(open((stem + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    std::vector<char*> args, vars;
    for (std::string& arg : argv) args.push_back(arg.data());
    for (const std::string& var : env) vars.push_back(const_cast<char*>(var.c_str()));
    args.push_back(nullptr), vars.push_back(nullptr);
    execve(args[0], args.data(), vars.data());
    _exit(127);
}

Result reap(pid_t pid, const fs::path& outputs) {
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string stem = outputs.string() + "/" + std::to_string(pid);
    Result result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(stem + ".out"), slurp(stem + ".err")};
    fs::remove(stem + ".out"), fs::remove(stem + ".err");
    return result;
}

Result execute(const std::vector<std::string>& argv, const std::vector<std::string>& env, const fs::path& scratch) {
    return reap(spawn(argv, env, "/dev/null", scratch), scratch);
}

// What a helper printed, without its last newlines; it must succeed.
std::string output(const Result& result, const std::string& what) {
    if (result.status != 0) throw std::runtime_error(what + " refused: " + result.err);
    return result.out.substr(0, result.out.find_last_not_of('\n') + 1);
}

std::string isoUtc(std::int64_t seconds) {
    const std::time_t t = seconds;
    std::tm tm{};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", gmtime_r(&t, &tm));
    return text;
}

}  // namespace

std::vector<std::string> Result::messages(const std::string& prefix) const {
    std::vector<std::string> found;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t tag = line.find(" - [LOG][");
        const std::size_t text = tag == std::string::npos ? tag : line.find("] ", tag);
        if (text != std::string::npos && line.compare(text + 2, prefix.size(), prefix) == 0) found.push_back(line.substr(text + 2));
    }
    return found;
}

std::vector<std::string> Result::summary() const {
    std::vector<std::string> lines = messages("Summary ");
    for (std::string& line : lines) line = std::regex_replace(line, std::regex(", \\d+ s$"), "");
    return lines;
}

Engines::Engines() : dir("/tmp/qor-engines-" + std::to_string(getpid())),
                     host(std::getenv("QOR_PG_HOST") ? std::getenv("QOR_PG_HOST") : "127.0.0.1") {
    fs::create_directories(dir / "clickhouse");
    fs::permissions(dir, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    spill(dir / "schema.sql", schemaSql());
    server_ = spawn({"/usr/bin/node", source / "tests/engines/chdb-server", dir / "clickhouse", dir / "schema.sql"}, {path}, "/dev/null", dir);
    // The server makes its socket once the schema stands.
    while (!fs::exists(dir / "clickhouse/.qor-server.sock")) {
        if (waitpid(server_, nullptr, WNOHANG) == server_)
            throw std::runtime_error("chdb-server stopped: " + slurp(dir / (std::to_string(server_) + ".err")));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Port 8817 is the tool's; another checkout's tests may hold it for a while.
    Result pg;
    for (int wait = 0; (pg = execute({source / "tests/engines/postgres", "start", dir / "postgres", host}, {path}, dir)).status &&
                       pg.err.find("Address already in use") != std::string::npos && wait < 600; ++wait)
        std::this_thread::sleep_for(std::chrono::seconds(1));
    if (pg.status != 0) {
        kill(server_, SIGTERM);
        throw std::runtime_error("PostgreSQL did not start: " + pg.err);
    }
}

Engines::~Engines() {
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
    execute({source / "tests/engines/postgres", "stop", dir / "postgres"}, {path}, dir);
    fs::remove_all(dir);
}

std::string Engines::clickhouse(const std::string& sql) {
    // The system's Python, as in a sandbox: a version manager's shim on PATH costs a tenth of a second a call.
    return output(execute({"/usr/bin/python3", source / "tests/engines/clickhouse-client", "--port=8820", "-u", "chuser", "--password=chpass", "--query=" + sql},
                          {path, "QOR_CH_SESSION_DIR=" + (dir / "clickhouse").string()}, dir), sql);
}

std::string Engines::postgres(const std::string& sql) {
    return output(execute({"/usr/bin/psql", "-h", host, "-p", "8817", "-U", "qoruser", "-d", "qorrdb", "-At", "-v",
                           "ON_ERROR_STOP=1", "-c", sql}, {"PGPASSWORD=" + pgPassword, path}, dir), sql);
}

Sandbox::Sandbox(const Logins& logins) {
    // Blanks, quotes, '$' and backquotes in the root: every path the tool hands a shell must arrive whole.
    std::string pattern = "/tmp/qor sandbox 'it''s' \"$HOME\" `false`-XXXXXX";
    root_ = mkdtemp(pattern.data());
    Engines& engines = Engines::get();
    for (const char* dir : {"/var/run/qor", "/tmp", "/tevfs/clickhouse", "/tevfs/nosql", "/record", "/bin"}) fs::create_directories(path(dir));
    // Each password follows a stale one, as in a file an administrator appended a correction to.
    write("opt/tevrik/qor/etc/config/qor_system.cfg", "mydb.nosql.user=" + logins.mongoUser + "\nmydb.nosql.passwd=old\nmydb.nosql.passwd=" + logins.mongo + "\n");
    write("opt/tevrik/qor/etc/config/qorrdb.properties",
          "qorrdb.host=" + engines.host + "\nqorrdb.user=qoruser\nqorrdb.password=old\nqorrdb.password=" + logins.postgres + "\n");
    write("opt/tevrik/qor/etc/config/qorolap.properties",
          "qorolap.host=127.0.0.1\nqorolap.user=" + logins.clickhouseUser + "\nqorolap.password=old\nqorolap.password=" + logins.clickhouse + "\n");
    write(".stdin", "");
    for (const auto& [name, target] : std::map<std::string, fs::path>{
             {"mongosh", source / "tests/fakes/mongo"}, {"mongoexport", source / "tests/fakes/mongo"},
             {"free", source / "tests/fakes/free"}, {"clickhouse-client", source / "tests/engines/clickhouse-client"},
             {"sh", "/usr/bin/sh"}, {"du", "/usr/bin/du"}, {"psql", "/usr/bin/psql"},
             {"python3", "/usr/bin/python3"}, {"node", "/usr/bin/node"}})
        fs::create_symlink(target, path("/bin/" + name));
    // A zone away from UTC, as on the product's servers: every time the tool writes or asks for must still be UTC.
    env_ = {{"PATH", path("/bin")}, {"HOME", root_}, {"QOROLAPMIGRATE_ROOT", root_}, {"TZ", "Asia/Seoul"},
            {"QOROLAPMIGRATE_NO_PAUSE", "1"}, {"QOR_MONGO_DIR", path("/tevfs/nosql")},
            {"QOR_MONGO_PASSWORD", logins.mongo}, {"QOR_CH_PASSWORD", logins.clickhouse},
            {"QOR_MONGO_USER", logins.mongoUser}, {"QOR_CH_USER", logins.clickhouseUser},
            {"QOR_CH_SESSION_DIR", engines.dir / "clickhouse"}, {"QOR_RECORD_DIR", path("/record")}};
    // Table by table: after TRUNCATE ALL TABLES chDB hangs on the next lightweight DELETE.
    std::string truncate;
    std::istringstream tables(engines.clickhouse("select name from system.tables where database = currentDatabase() "
                                                 "and engine = 'MergeTree' and total_rows > 0"));
    for (std::string table; std::getline(tables, table);) truncate += "TRUNCATE TABLE " + table + ";";
    if (!truncate.empty()) engines.clickhouse(truncate);
    engines.postgres("UPDATE tb_olap_table SET last_snowflake_id = '0', modified_time = '2020-01-01 00:00:00'");
    if (engines.pgPassword != logins.postgres) {
        engines.postgres("ALTER ROLE qoruser PASSWORD '" + std::regex_replace(logins.postgres, std::regex("'"), "''") + "'");
        engines.pgPassword = logins.postgres;
    }
}

Sandbox::~Sandbox() { if (std::getenv("QOR_KEEP_SANDBOX") == nullptr) fs::remove_all(root_); }

std::string Sandbox::write(const std::string& relative, const std::string& text) const { return spill(root_ / relative, text); }

void Sandbox::collection(const std::string& name, const std::vector<std::int64_t>& seconds,
                         const std::map<std::int64_t, std::int64_t>& datedAt, bool createTime) const {
    static int counter = 0;
    std::vector<std::string> lines;
    std::vector<std::int64_t> ascending = seconds;
    std::sort(ascending.begin(), ascending.end());
    for (const std::int64_t second : ascending) {
        char oid[25];
        std::snprintf(oid, sizeof oid, "%08llx5f3c2a1b9d%06x", static_cast<unsigned long long>(second), ++counter);
        const std::int64_t dated = datedAt.count(second) ? datedAt.at(second) : second;
        // Older servers stored merge_seq as text; the tool converts it in the report collections.
        lines.push_back("{\"_id\":{\"$oid\":\"" + std::string(oid) + "\"}," +
                        (createTime ? "\"create_time\":{\"$date\":\"" + isoUtc(dated) + "\"}," : "") +
                        "\"data_date\":{\"$date\":\"" + isoUtc(dated - dated % 86400) +
                        "\"},\"merge_seq\":\"" + std::to_string(counter) + "\"}\n");
    }
    std::reverse(lines.begin(), lines.end());  // newest first, as the doubles read a collection
    spill(path("/tevfs/nosql/" + name + ".jsonl"), std::accumulate(lines.begin(), lines.end(), std::string()));
}

void Sandbox::letGo(const std::string& name, int rank) const {
    std::istringstream newestFirst(slurp(path("/tevfs/nosql/" + name + ".jsonl")));
    std::vector<std::string> lines;
    for (std::string line; std::getline(newestFirst, line);) lines.push_back(line + "\n");
    lines.erase(lines.end() - rank);
    spill(path("/tevfs/nosql/" + name + ".jsonl"), std::accumulate(lines.begin(), lines.end(), std::string()));
}

static pid_t launch(const fs::path& root, const std::map<std::string, std::string>& variables, const std::vector<std::string>& argv) {
    std::vector<std::string> env;
    for (const auto& [name, value] : variables) env.push_back(name + "=" + value);
    return spawn(argv, env, root / ".stdin", root);
}

pid_t Sandbox::start(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {QOR_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return launch(root_, env_, argv);
}

Result Sandbox::finish(pid_t pid) const { return reap(pid, root_); }

std::string Sandbox::outputSoFar(pid_t pid) const { return slurp(root_ / (std::to_string(pid) + ".out")); }

Result Sandbox::shell(const std::string& script, std::vector<std::string> args) const {
    write(".stdin", "");
    args.insert(args.begin(), {"/bin/sh", "-c", script, QOR_BINARY});
    return finish(launch(root_, env_, args));
}

Result Sandbox::run(const std::vector<std::string>& args, const std::string& input) const {
    write(".stdin", input);
    return finish(start(args));
}

std::vector<Call> Sandbox::calls(const std::string& program) const {
    std::set<fs::path> files;  // in the order the calls began
    for (const auto& entry : fs::directory_iterator(path("/record")))
        if (entry.path().string().ends_with("-" + program + ".call")) files.insert(entry.path());
    std::vector<Call> calls;
    for (fs::path file : files) {
        std::istringstream entries(slurp(file));
        Call& call = calls.emplace_back();
        for (std::string entry; std::getline(entries, entry, '\0');)
            if (entry.starts_with("arg=")) call.argv.push_back(entry.substr(4));
            else call.info[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
        call.began = std::stoll(call.info["began"]);
        if (fs::exists(file.replace_extension(".ended"))) call.ended = std::stoll(slurp(file));
    }
    return calls;
}

std::vector<Call> Sandbox::loads(const std::string& collection) const {
    std::vector<Call> found = calls("mongoexport");
    std::erase_if(found, [&](const Call& call) {
        const auto has = [&](const std::string& arg) { return std::find(call.argv.begin(), call.argv.end(), arg) != call.argv.end(); };
        return has("--fields") || !has("--collection=" + collection);
    });
    return found;
}

std::size_t mostAtOnce(const std::vector<Call>& calls) {
    std::size_t most = 0;
    for (const Call& call : calls)
        most = std::max<std::size_t>(most, std::count_if(calls.begin(), calls.end(), [&](const Call& other) {
                                         return other.began <= call.began && (other.ended == 0 || call.began < other.ended);
                                     }));
    return most;
}

std::vector<std::int64_t> spread(std::int64_t from, std::int64_t to, int count) {
    std::vector<std::int64_t> seconds;
    for (int i = 0; i < count; ++i) seconds.push_back(from + (count > 1 ? (to - from) * i / (count - 1) : 0));
    return seconds;
}

std::int64_t daysAgo(int days) { return (std::time(nullptr) / 86400 - days) * 86400; }

std::string isoDay(std::int64_t seconds) { return isoUtc(seconds).substr(0, 10); }

}  // namespace qortest
