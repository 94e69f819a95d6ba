// A private file is made anew at its name or not at all, and whatever stood
// there in its way is left as it was.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "exec/private_file.h"

namespace fs = std::filesystem;

TEST(PrivateFile, IsMadeAnewOrLeavesWhatStoodInItsWay) {
    for (const std::string planted : {"", "a stale file of ours", "a link"}) {
        SCOPED_TRACE(planted);
        std::string folder = "/tmp/qor-private-file-XXXXXX";
        const fs::path file = fs::path(mkdtemp(folder.data())) / "secret.yaml", elsewhere = folder + "/elsewhere";
        if (planted == "a link") fs::create_symlink(elsewhere, file);
        if (planted == "a stale file of ours") std::ofstream(file) << "stale";
        {
            const PrivateFile made(file, "password: x\n");
            EXPECT_EQ(made.created(), planted != "a link");
            std::ifstream in(file);
            if (made.created()) {
                EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "password: x\n");
                EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
            }
        }
        EXPECT_EQ(fs::is_symlink(file), planted == "a link") << "ours gone with it, the link left";
        EXPECT_FALSE(fs::exists(elsewhere));
        fs::remove_all(folder);
    }
}
