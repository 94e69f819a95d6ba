#include "exec/commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "exec/host.h"
#include "hostile_values.h"
#include "scoped_environment.h"
#include "scratch_directory.h"

namespace {
const MongoLogin mongo{"10.20.30.40", "qoruser", "Qor@2024pw"};
const ClickHouseLogin clickhouse{"ch.local", "default", "chPass=1"};
const PostgresLogin postgres{"127.0.0.1", "qor", "pg,pass"};

struct ComposedLine {
    const char* what;
    std::string composed;
    std::string expected;
};

TEST(Commands, OrdinaryValuesGiveTheFamiliarCommandLines) {
    const ScopedEnvironment noRoot("QOROLAPMIGRATE_ROOT", std::nullopt);
    const std::vector<ComposedLine> lines = {
        {"oldest ObjectId", oldestObjectIdCommand(mongo, "tb_j4_alert_log"),
         R"~(mongosh 10.20.30.40:8825/qornosql -u qoruser -p Qor@2024pw --quiet --eval "db.tb_j4_alert_log.find({}, {_id: 1}).sort({_id: 1}).limit(1)")~"},
        {"newest _id time", edgeTimeCommand(mongo, "tb_j4_status", EdgeField::objectId, -1),
         R"~(mongosh 10.20.30.40:8825/qornosql -u qoruser -p Qor@2024pw --quiet --eval "db.tb_j4_status.find().sort({ _id: -1 }).limit(1).forEach(doc => print(doc._id.getTimestamp()))")~"},
        {"oldest _id time", edgeTimeCommand(mongo, "tb_j4_status", EdgeField::objectId, 1),
         R"~(mongosh 10.20.30.40:8825/qornosql -u qoruser -p Qor@2024pw --quiet --eval "db.tb_j4_status.find().sort({ _id: 1 }).limit(1).forEach(doc => print(doc._id.getTimestamp()))")~"},
        {"newest create_time", edgeTimeCommand(mongo, "tb_report_data", EdgeField::createTime, -1),
         R"~(mongosh 10.20.30.40:8825/qornosql -u qoruser -p Qor@2024pw --quiet --eval "db.tb_report_data.find({}, {create_time: 1, _id: 0}).sort({create_time: -1}).limit(1)")~"},
        {"oldest data_date", edgeTimeCommand(mongo, "tb_base_report_data", EdgeField::dataDate, 1),
         R"~(mongosh 10.20.30.40:8825/qornosql -u qoruser -p Qor@2024pw --quiet --eval "db.tb_base_report_data.find({}, {data_date: 1, _id: 0}).sort({data_date: 1}).limit(1)")~"},
        {"storage size", storageSizeCommand(mongo, "tb_hux_snapshot"),
         R"~(mongosh 10.20.30.40:8825/qornosql -u qoruser -p Qor@2024pw --quiet --eval 'db.getCollection("tb_hux_snapshot").stats().storageSize' )~"},
        {"drop", dropCollectionCommand(mongo, "tb_hux_snapshot"),
         R"~(mongosh 10.20.30.40:8825/qornosql -u qoruser -p Qor@2024pw --quiet --eval 'db.tb_hux_snapshot.drop()' )~"},
        {"merge_seq conversion", mergeSeqConversionCommand(mongo, "tb_report_summary_data"),
         R"~(mongosh 10.20.30.40:8825/qornosql -u qoruser -p Qor@2024pw --quiet --eval 'db.tb_report_summary_data.updateMany( { "merge_seq": { $type: "string" } }, [ { $set: { "merge_seq": { $convert: { input: "$merge_seq", to: "int" } } } } ] );')~"},
        {"no export filter", exportQueryOption("", "659200800000000000000000"), ""},
        {"upper filter", exportQueryOption("65f1a2b3ffffffffffffffff", ""),
         R"~(--query='{ "_id": { "$lte": { "$oid": "65f1a2b3ffffffffffffffff" } } }')~"},
        {"range filter",
         exportQueryOption("65f1a2b3ffffffffffffffff", "659200800000000000000000"),
         R"~(--query='{ "_id": { "$lte": { "$oid": "65f1a2b3ffffffffffffffff" }, "$gte": { "$oid": "659200800000000000000000" } } }')~"},
        {"whole export", exportCommand(mongo, "tb_j4_alert_log", ""),
         R"~(mongoexport --host 10.20.30.40:8825 --collection=tb_j4_alert_log --db=qornosql -u qoruser -p Qor@2024pw --authenticationDatabase qornosql --sort='{ "_id": -1 }' )~"},
        {"export of a range",
         exportCommand(mongo, "tb_j4_alert_log",
                       exportQueryOption("65f1a2b3ffffffffffffffff", "659200800000000000000000")),
         R"~(mongoexport --host 10.20.30.40:8825 --collection=tb_j4_alert_log --db=qornosql -u qoruser -p Qor@2024pw --authenticationDatabase qornosql --sort='{ "_id": -1 }' --query='{ "_id": { "$lte": { "$oid": "65f1a2b3ffffffffffffffff" }, "$gte": { "$oid": "659200800000000000000000" } } }')~"},
        {"ObjectId list above the floor",
         objectIdListExportCommand(mongo, "tb_base_report_data", "", "65f1a2b3ffffffffffffffff",
                                   "6265d1000000000000000000"),
         R"~(mongoexport --host 10.20.30.40:8825 --collection=tb_base_report_data --db=qornosql -u qoruser -p Qor@2024pw --authenticationDatabase qornosql --sort='{ "_id": -1 }' --query '{ "_id": {  "$gt": { "$oid": "6265d1000000000000000000" } } }' --fields _id --type=json --quiet > /tmp/oid_temp.txt)~"},
        {"ObjectId list of a window",
         objectIdListExportCommand(mongo, "tb_base_report_data", "659200800000000000000000",
                                   "65f1a2b3ffffffffffffffff", "6265d1000000000000000000"),
         R"~(mongoexport --host 10.20.30.40:8825 --collection=tb_base_report_data --db=qornosql -u qoruser -p Qor@2024pw --authenticationDatabase qornosql --sort='{ "_id": -1 }' --query '{ "_id": { "$lte": { "$oid": "65f1a2b3ffffffffffffffff" }, "$gte": { "$oid": "659200800000000000000000" } } }' --fields _id --type=json --quiet > /tmp/oid_temp.txt)~"},
        {"ClickHouse query", clickhouseCommand(clickhouse, memoryTrackingSql()),
         R"~(clickhouse-client -h ch.local --port=8820 -u default --password='chPass=1' --query="select value from system.metrics where metric = 'MemoryTracking'")~"},
        {"ClickHouse load", clickhouseLoadCommand(clickhouse, "mig_tb_zq_alert_log"),
         R"~(clickhouse-client -h ch.local --port=8820 -u default --password='chPass=1' --query="SET max_partitions_per_insert_block = 500; INSERT INTO mig_tb_zq_alert_log FORMAT LineAsString")~"},
        {"range summary", rangeSummarySql("mig_tb_zq_status_completed"),
         "select count(), min(server_time), max(server_time), min(oid) from mig_tb_zq_status_completed"},
        {"staging and completed counts", migCountSql("tb_audit_log"),
         "select a.cnt, b.cnt from (SELECT count() as cnt FROM mig_tb_audit_log) as a, (SELECT count() as cnt FROM mig_tb_audit_log_completed) as b "},
        {"completed rows", completedRowCountSql("mig_tb_zq_alert_log_completed"),
         "select count() from mig_tb_zq_alert_log_completed"},
        {"truncate", truncateSql("mig_tb_zq_status_completed"),
         "truncate table mig_tb_zq_status_completed"},
        {"delete by server_time",
         deleteRangeSql("tb_zq_status", "server_time/1000", "2024-03-05 10:20:30"),
         "DELETE FROM tb_zq_status WHERE server_time/1000 <= toUnixTimestamp(toDateTime('2024-03-05 10:20:30', 'UTC'))"},
        {"delete by create_time",
         deleteRangeSql("tb_report_data", "toUnixTimestamp(toDateTime(create_time, 'UTC'))",
                        "2024-03-02 08:00:00"),
         "DELETE FROM tb_report_data WHERE toUnixTimestamp(toDateTime(create_time, 'UTC')) <= toUnixTimestamp(toDateTime('2024-03-02 08:00:00', 'UTC'))"},
        {"memory tracking", memoryTrackingSql(),
         "select value from system.metrics where metric = 'MemoryTracking'"},
        {"Snowflake ID", snowflakeIdSql(),
         "SELECT toString(dateTime64ToSnowflakeID(now64() - INTERVAL 1 MINUTE))"},
        {"preprocess check", preprocessCheckSql(),
         "select count() From mig_tb_preprocess_completed where table_name = 'report_preprocess'"},
        {"preprocess record", preprocessRecordSql("report_preprocess"),
         "insert into mig_tb_preprocess_completed values (now64(), 'report_preprocess')"},
        {"PostgreSQL update", snowflakeUpdateCommand(postgres, "7169417415418798080"),
         R"~(export PGPASSWORD="pg,pass"; psql -h 127.0.0.1 -U qor -d qorrdb -p 8817 -c "UPDATE tb_olap_table SET last_snowflake_id = '7169417415418798080', modified_time = NOW() WHERE last_snowflake_id = '0'")~"},
        {"memory share 50", memoryLimitCommand(50),
         R"~(free -b | awk '/Mem:/ {printf "%.0f\n", $2 * 0.50}')~"},
        {"memory share 5", memoryLimitCommand(5),
         R"~(free -b | awk '/Mem:/ {printf "%.0f\n", $2 * 0.05}')~"},
        {"memory share 100", memoryLimitCommand(100),
         R"~(free -b | awk '/Mem:/ {printf "%.0f\n", $2 * 1.00}')~"},
        {"directory size", directorySizeCommand("/tevfs/nosql"),
         R"~(du -sL /tevfs/nosql | awk '{print $1}')~"},
    };
    for (const ComposedLine& line : lines) EXPECT_EQ(line.composed, line.expected) << line.what;
}

// Stand-ins for the outside programs: each writes the arguments it was given,
// NUL-separated, and its PGPASSWORD into a record directory, and prints nothing.
class RecordedPrograms {
public:
    RecordedPrograms()
        : records_(scratch_.file("records")),
          path_("PATH", pathWithFirst(scratch_.file("bin"))) {
        std::filesystem::create_directories(scratch_.file("bin"));
        std::filesystem::create_directories(records_);
        for (const char* program : {"mongosh", "mongoexport", "clickhouse-client", "psql", "du"}) {
            const std::string record = records_ + "/" + program;
            writeExecutable(scratch_.file("bin/") + program,
                            "#!/bin/sh\n"
                            ": > '" + record + ".argv'\n"
                            "for a in \"$@\"; do printf '%s\\000' \"$a\" >> '" + record + ".argv'; done\n"
                            "printf '%s' \"${PGPASSWORD-}\" > '" + record + ".password'\n");
        }
    }

    const ScratchDirectory& scratch() const { return scratch_; }

    // Runs the command from inside the scratch directory, where a stray glob
    // would find files to expand to.
    ChildStatus run(const std::string& command) {
        std::filesystem::remove_all(records_);
        std::filesystem::create_directories(records_);
        return realHost().run("cd " + scratch_.path() + " && " + command);
    }

    std::optional<std::vector<std::string>> argumentsOf(const std::string& program) const {
        const std::string file = records_ + "/" + program + ".argv";
        if (!fileExists(file)) return std::nullopt;
        const std::string content = readWholeFile(file);
        std::vector<std::string> arguments;
        for (std::size_t from = 0; from < content.size();) {
            const std::size_t end = content.find('\0', from);
            arguments.push_back(content.substr(from, end - from));
            from = end + 1;
        }
        return arguments;
    }

    std::string passwordOf(const std::string& program) const {
        return readWholeFile(records_ + "/" + program + ".password");
    }

private:
    ScratchDirectory scratch_;
    std::string records_;
    ScopedEnvironment path_;
};

using Arguments = std::vector<std::string>;

struct Position {
    std::string where;
    const char* program;
    std::function<std::string(const std::string&)> compose;
    std::function<Arguments(const std::string&)> expected;
    // An empty ObjectId is no bound at all: another filter, not a quoting case.
    bool emptyMeansNoBound = false;
};

MongoLogin mongoWith(int field, const std::string& value) {
    MongoLogin login = mongo;
    (field == 0 ? login.host : field == 1 ? login.user : login.password) = value;
    return login;
}

ClickHouseLogin clickhouseWith(int field, const std::string& value) {
    ClickHouseLogin login = clickhouse;
    (field == 0 ? login.host : field == 1 ? login.user : login.password) = value;
    return login;
}

PostgresLogin postgresWith(int field, const std::string& value) {
    PostgresLogin login = postgres;
    (field == 0 ? login.host : field == 1 ? login.user : login.password) = value;
    return login;
}

Arguments mongoshArguments(const MongoLogin& login, const std::string& script) {
    return {login.host + ":8825/qornosql", "-u", login.user, "-p", login.password,
            "--quiet", "--eval", script};
}

Arguments exportArguments(const MongoLogin& login, const std::string& collection) {
    return {"--host", login.host + ":8825", "--collection=" + collection, "--db=qornosql",
            "-u", login.user, "-p", login.password, "--authenticationDatabase", "qornosql",
            R"~(--sort={ "_id": -1 })~"};
}

Arguments clickhouseArguments(const ClickHouseLogin& login, const std::string& sql) {
    return {"-h", login.host, "--port=8820", "-u", login.user, "--password=" + login.password,
            "--query=" + sql};
}

Arguments joined(Arguments first, const Arguments& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::string rangeFilter(const std::string& upper, const std::string& lower) {
    return R"({ "_id": { "$lte": { "$oid": ")" + upper + R"(" }, "$gte": { "$oid": ")" + lower +
           R"~(" } } })~";
}

const std::string upperOid = "65f1a2b3ffffffffffffffff";
const std::string lowerOid = "659200800000000000000000";
const std::string floorOid = "6265d1000000000000000000";
const std::string updateSqlFront = "UPDATE tb_olap_table SET last_snowflake_id = '";
const std::string updateSqlBack = "', modified_time = NOW() WHERE last_snowflake_id = '0'";

std::vector<Position> everyPosition() {
    std::vector<Position> positions;
    const char* loginField[] = {"host", "user", "password"};

    struct Script {
        const char* name;
        std::function<std::string(const MongoLogin&)> compose;
        std::string received;
    };
    const std::vector<Script> scripts = {
        {"oldest ObjectId", [](const MongoLogin& l) { return oldestObjectIdCommand(l, "tb_x"); },
         "db.tb_x.find({}, {_id: 1}).sort({_id: 1}).limit(1)"},
        {"edge _id",
         [](const MongoLogin& l) { return edgeTimeCommand(l, "tb_x", EdgeField::objectId, -1); },
         "db.tb_x.find().sort({ _id: -1 }).limit(1).forEach(doc => print(doc._id.getTimestamp()))"},
        {"edge create_time",
         [](const MongoLogin& l) { return edgeTimeCommand(l, "tb_x", EdgeField::createTime, 1); },
         "db.tb_x.find({}, {create_time: 1, _id: 0}).sort({create_time: 1}).limit(1)"},
        {"edge data_date",
         [](const MongoLogin& l) { return edgeTimeCommand(l, "tb_x", EdgeField::dataDate, -1); },
         "db.tb_x.find({}, {data_date: 1, _id: 0}).sort({data_date: -1}).limit(1)"},
        {"storage size", [](const MongoLogin& l) { return storageSizeCommand(l, "tb_x"); },
         R"~(db.getCollection("tb_x").stats().storageSize)~"},
        {"drop", [](const MongoLogin& l) { return dropCollectionCommand(l, "tb_x"); },
         "db.tb_x.drop()"},
        {"merge_seq", [](const MongoLogin& l) { return mergeSeqConversionCommand(l, "tb_x"); },
         R"~(db.tb_x.updateMany( { "merge_seq": { $type: "string" } }, [ { $set: { "merge_seq": { $convert: { input: "$merge_seq", to: "int" } } } } ] );)~"},
    };
    for (const Script& script : scripts) {
        for (int field = 0; field < 3; ++field) {
            positions.push_back(
                {std::string(script.name) + " " + loginField[field], "mongosh",
                 [script, field](const std::string& v) { return script.compose(mongoWith(field, v)); },
                 [script, field](const std::string& v) {
                     return mongoshArguments(mongoWith(field, v), script.received);
                 }});
        }
    }
    for (int field = 0; field < 3; ++field) {
        positions.push_back(
            {std::string("export ") + loginField[field], "mongoexport",
             [field](const std::string& v) {
                 return exportCommand(mongoWith(field, v), "tb_x", exportQueryOption(upperOid, ""));
             },
             [field](const std::string& v) {
                 return joined(exportArguments(mongoWith(field, v), "tb_x"),
                               {R"~(--query={ "_id": { "$lte": { "$oid": ")~" + upperOid +
                                R"~(" } } })~"});
             }});
        positions.push_back(
            {std::string("query ") + loginField[field], "clickhouse-client",
             [field](const std::string& v) {
                 return clickhouseCommand(clickhouseWith(field, v), "select 1");
             },
             [field](const std::string& v) {
                 return clickhouseArguments(clickhouseWith(field, v), "select 1");
             }});
        positions.push_back(
            {std::string("load ") + loginField[field], "clickhouse-client",
             [field](const std::string& v) {
                 return clickhouseLoadCommand(clickhouseWith(field, v), "mig_tb_x");
             },
             [field](const std::string& v) {
                 return clickhouseArguments(
                     clickhouseWith(field, v),
                     "SET max_partitions_per_insert_block = 500; INSERT INTO mig_tb_x FORMAT "
                     "LineAsString");
             }});
    }
    positions.push_back(
        {"upper ObjectId alone", "mongoexport",
         [](const std::string& v) { return exportCommand(mongo, "tb_x", exportQueryOption(v, "")); },
         [](const std::string& v) {
             return joined(exportArguments(mongo, "tb_x"),
                           {R"(--query={ "_id": { "$lte": { "$oid": ")" + v + R"(" } } })"});
         },
         true});
    positions.push_back(
        {"upper ObjectId of a range", "mongoexport",
         [](const std::string& v) {
             return exportCommand(mongo, "tb_x", exportQueryOption(v, lowerOid));
         },
         [](const std::string& v) {
             return joined(exportArguments(mongo, "tb_x"), {"--query=" + rangeFilter(v, lowerOid)});
         },
         true});
    positions.push_back(
        {"lower ObjectId of a range", "mongoexport",
         [](const std::string& v) {
             return exportCommand(mongo, "tb_x", exportQueryOption(upperOid, v));
         },
         [](const std::string& v) {
             return joined(exportArguments(mongo, "tb_x"), {"--query=" + rangeFilter(upperOid, v)});
         },
         true});
    const Arguments listTail = {"--fields", "_id", "--type=json", "--quiet"};
    positions.push_back(
        {"list floor", "mongoexport",
         [](const std::string& v) { return objectIdListExportCommand(mongo, "tb_x", "", "", v); },
         [listTail](const std::string& v) {
             return joined(joined(exportArguments(mongo, "tb_x"),
                                  {"--query", R"~({ "_id": {  "$gt": { "$oid": ")~" + v +
                                                  R"~(" } } })~"}),
                           listTail);
         }});
    positions.push_back(
        {"list upper", "mongoexport",
         [](const std::string& v) {
             return objectIdListExportCommand(mongo, "tb_x", lowerOid, v, floorOid);
         },
         [listTail](const std::string& v) {
             return joined(joined(exportArguments(mongo, "tb_x"),
                                  {"--query", rangeFilter(v, lowerOid)}),
                           listTail);
         }});
    positions.push_back(
        {"list lower", "mongoexport",
         [](const std::string& v) {
             return objectIdListExportCommand(mongo, "tb_x", v, upperOid, floorOid);
         },
         [listTail](const std::string& v) {
             return joined(joined(exportArguments(mongo, "tb_x"),
                                  {"--query", rangeFilter(upperOid, v)}),
                           listTail);
         },
         true});
    positions.push_back(
        {"SQL", "clickhouse-client",
         [](const std::string& v) { return clickhouseCommand(clickhouse, v); },
         [](const std::string& v) { return clickhouseArguments(clickhouse, v); }});
    for (int field = 0; field < 2; ++field) {
        positions.push_back(
            {std::string("psql ") + loginField[field], "psql",
             [field](const std::string& v) {
                 return snowflakeUpdateCommand(postgresWith(field, v), "42");
             },
             [field](const std::string& v) {
                 const PostgresLogin login = postgresWith(field, v);
                 return Arguments{"-h", login.host, "-U", login.user, "-d", "qorrdb", "-p", "8817",
                                  "-c", updateSqlFront + "42" + updateSqlBack};
             }});
    }
    positions.push_back(
        {"Snowflake ID", "psql",
         [](const std::string& v) { return snowflakeUpdateCommand(postgres, v); },
         [](const std::string& v) {
             return Arguments{"-h", postgres.host, "-U", postgres.user, "-d", "qorrdb", "-p", "8817",
                              "-c", updateSqlFront + v + updateSqlBack};
         }});
    positions.push_back({"du path", "du",
                         [](const std::string& v) { return directorySizeCommand(v); },
                         [](const std::string& v) { return Arguments{"-sL", v}; }});
    return positions;
}

TEST(Commands, EveryProgramReceivesHostileValuesUnchangedAndRunsNothingElse) {
    RecordedPrograms programs;
    const std::string marker = programs.scratch().file("marker");
    const ScopedEnvironment root("QOROLAPMIGRATE_ROOT", programs.scratch().path());
    std::filesystem::create_directories(programs.scratch().file("tmp"));
    for (const Position& position : everyPosition()) {
        for (const std::string& value : shellHostileValues(marker)) {
            if (value.empty() && position.emptyMeansNoBound) continue;
            SCOPED_TRACE(position.where + " <" + value + ">");
            const ChildStatus status = programs.run(position.compose(value));
            EXPECT_EQ(status.code, 0);
            EXPECT_EQ(programs.argumentsOf(position.program), position.expected(value));
            EXPECT_FALSE(fileExists(marker));
        }
    }
}

TEST(Commands, ThePostgresPasswordArrivesOnlyThroughTheEnvironment) {
    RecordedPrograms programs;
    const std::string marker = programs.scratch().file("marker");
    for (const std::string& password : shellHostileValues(marker)) {
        SCOPED_TRACE("<" + password + ">");
        programs.run(snowflakeUpdateCommand(postgresWith(2, password), "42"));
        EXPECT_EQ(programs.passwordOf("psql"), password);
        EXPECT_EQ(programs.argumentsOf("psql"),
                  (Arguments{"-h", postgres.host, "-U", postgres.user, "-d", "qorrdb", "-p", "8817",
                             "-c", updateSqlFront + "42" + updateSqlBack}));
        EXPECT_FALSE(fileExists(marker));
    }
}

TEST(Commands, TheObjectIdListLandsInTheWorkFileBelowAnAwkwardRoot) {
    RecordedPrograms programs;
    const std::string root = programs.scratch().file("it's a root");
    std::filesystem::create_directories(root + "/tmp");
    writeExecutable(programs.scratch().file("bin/mongoexport"),
                    "#!/bin/sh\nprintf '{\"_id\":{\"$oid\":\"%s\"}}\\n' " + upperOid + "\n");
    const ScopedEnvironment rooted("QOROLAPMIGRATE_ROOT", root);
    const ChildStatus status =
        programs.run(objectIdListExportCommand(mongo, "tb_x", "", "", floorOid));
    EXPECT_EQ(status.code, 0);
    EXPECT_EQ(readWholeFile(root + "/tmp/oid_temp.txt"),
              "{\"_id\":{\"$oid\":\"" + upperOid + "\"}}\n");
}

// The two host-tool lines run for real: their awk programs must be valid and
// print a bare number.
TEST(Commands, HostToolLinesPrintOneNumber) {
    const auto numberPrinted = [](const std::string& command) -> std::uint64_t {
        std::string printed;
        const ChildStatus status = realHost().readOutput(
            command, 1024, [&printed](std::string_view piece) { printed.append(piece); });
        EXPECT_EQ(status.code, 0) << command;
        EXPECT_FALSE(printed.empty()) << command;
        EXPECT_EQ(printed.find_first_not_of("0123456789"), printed.size() - 1) << printed;
        EXPECT_EQ(printed.back(), '\n');
        return std::stoull(printed);
    };
    const std::uint64_t whole = numberPrinted(memoryLimitCommand(100));
    const std::uint64_t half = numberPrinted(memoryLimitCommand(50));
    EXPECT_GT(whole, 0u);
    EXPECT_LE(half * 2, whole + 1);
    EXPECT_GE(half * 2 + 1, whole);

    ScratchDirectory scratch;
    writeExecutable(scratch.file("sixteen-kib"), std::string(16 * 1024, 'x'));
    EXPECT_GE(numberPrinted(directorySizeCommand(scratch.path())), 16u);
}
}  // namespace
