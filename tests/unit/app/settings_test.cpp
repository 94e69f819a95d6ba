#include "app/settings.h"

#include <gtest/gtest.h>

#include "scoped_environment.h"
#include "scratch_directory.h"

namespace {
class SettingsTest : public ::testing::Test {
protected:
    std::string writeConfig(const std::string& name, const std::string& content) {
        return root_.write("opt/tevrik/qor/etc/config/" + name, content);
    }
    std::string read(const std::string& file, const std::string& key) {
        std::string out;
        Util::readStringUtil(file, "site.key", 0, "", key, "", out);
        return out;
    }

    ScratchDirectory root_;
    ScopedEnvironment rootVariable_{"QOROLAPMIGRATE_ROOT", root_.path()};
};

TEST_F(SettingsTest, PropertiesReaderKeepsValuesAsWritten) {
    writeConfig("qorolap.properties",
                "# comment = ignored\n"
                "! also a comment\n"
                "  qorolap.host =  10.0.0.5  \n"
                "qorolap.user:default\n"
                "qorolap.password = pa=ss 'w\"rd $HOME\n"
                "qorolap.password.old = stale\n"
                "qorolap.host = 10.0.0.6\n"
                "no separator line\n");
    EXPECT_EQ(read("qorolap.properties", "qorolap.host"), "10.0.0.6");
    EXPECT_EQ(read("qorolap.properties", "qorolap.user"), "default");
    EXPECT_EQ(read("qorolap.properties", "qorolap.password"), "pa=ss 'w\"rd $HOME");
    EXPECT_EQ(read("qorolap.properties", "# comment"), "");
    EXPECT_EQ(read("qorolap.properties", "missing.key"), "");
    EXPECT_EQ(read("absent.properties", "qorolap.host"), "");
}

TEST_F(SettingsTest, LoadsTheNineValuesAndCopiesTheHost) {
    writeConfig("qor_system.cfg", "mydb.nosql.user=mongo\nmydb.nosql.passwd=mpw\n");
    writeConfig("qorrdb.properties", "qorrdb.host=db.local\nqorrdb.user=pg\nqorrdb.password=ppw\n");
    writeConfig("qorolap.properties", "qorolap.host=ch.local\nqorolap.user=ch\nqorolap.password=cpw\n");
    ::testing::internal::CaptureStdout();
    const ConnectionSettings s = getDbUserInfo();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(s.nosqlUser, "mongo");
    EXPECT_EQ(s.nosqlPasswd, "mpw");
    EXPECT_EQ(s.nosqlIp, "db.local");
    EXPECT_EQ(s.rdbHost, "db.local");
    EXPECT_EQ(s.rdbUser, "pg");
    EXPECT_EQ(s.rdbPassword, "ppw");
    EXPECT_EQ(s.olapIp, "ch.local");
    EXPECT_EQ(s.olapUser, "ch");
    EXPECT_EQ(s.olapPassword, "cpw");
}

TEST_F(SettingsTest, MissingFilesAreLoggedAndSkipOnlyTheirOwnKeys) {
    writeConfig("qorolap.properties", "qorolap.host=ch.local\n");
    ::testing::internal::CaptureStdout();
    const ConnectionSettings s = getDbUserInfo();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[LOG][getDbUserInfo:"), std::string::npos);
    EXPECT_NE(out.find("] qor_system.cfg not exists\n"), std::string::npos);
    EXPECT_NE(out.find("] qorrdb.properties not exists\n"), std::string::npos);
    EXPECT_EQ(out.find("qorolap.properties not exists"), std::string::npos);
    EXPECT_EQ(s.nosqlIp, "");
    EXPECT_EQ(s.rdbHost, "");
    EXPECT_EQ(s.olapIp, "ch.local");
    EXPECT_EQ(s.olapUser, "");
}
}  // namespace
