#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "exec/private_file.h"

// A private file that cannot be made where a link stands leaves the link as it was.
TEST(PrivateFile, LeavesALinkInItsWayAsItWas) {
    std::string folder = "/tmp/qor-private-file-XXXXXX";
    const std::filesystem::path file = std::filesystem::path(mkdtemp(folder.data())) / "secret.yaml";
    std::filesystem::create_symlink(folder + "/elsewhere", file);
    EXPECT_FALSE(PrivateFile(file, "password: x\n").created());
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_FALSE(std::filesystem::exists(folder + "/elsewhere"));
    std::filesystem::remove_all(folder);
}
