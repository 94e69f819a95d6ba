#include "exec/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "util/log.h"
#include "util/paths.h"

namespace {
constexpr std::string_view exportConfigPrefix = "qorolapmigrate-mongoexport-";

// Why a file found in the work folder is not the tool's own to replace or
// remove; nullptr for a regular file of this account.
const char* foreignFile(const struct stat& found) {
    return S_ISLNK(found.st_mode)      ? "it is a symbolic link"
           : found.st_uid != geteuid() ? "it belongs to another account"
           : !S_ISREG(found.st_mode)   ? "it is not a regular file"
                                       : nullptr;
}
}  // namespace

int createWorkFile(const std::string& path, int access) {
    struct stat found {};
    if (lstat(path.c_str(), &found) == 0) {
        const char* refusal = foreignFile(found);
        if (refusal != nullptr) {
            LOG("Cannot write the work file ", path, " : ", refusal);
            return -1;
        }
        unlink(path.c_str());
    }
    // In a folder with the sticky bit nobody else can swap the file we make
    // here for a link, so a later open by name (a shell's "> file") opens it.
    const int fd = open(path.c_str(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) LOG("Cannot write the work file ", path);
    return fd;
}

PrivateFile::PrivateFile(std::string path, std::string_view content) : path_(std::move(path)) {
    const int fd = createWorkFile(path_);
    if (fd < 0) return;
    created_ = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    created_ = close(fd) == 0 && created_;
    if (created_) return;
    LOG("Cannot write the work file ", path_);
    unlink(path_.c_str());
}

PrivateFile::~PrivateFile() {
    if (created_) unlink(path_.c_str());
}

std::string exportConfigPath() {
    static unsigned long exports = 0;
    return rootedPath(paths::workDirectory) + "/" + std::string(exportConfigPrefix) +
           std::to_string(getpid()) + "-" + std::to_string(++exports) + ".yaml";
}

void removeLeftoverExportConfigs() {
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::directory_iterator(rootedPath(paths::workDirectory), ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(exportConfigPrefix, 0) != 0 || entry.path().extension() != ".yaml") continue;
        // Another account may make a file of that name in the shared folder;
        // it is theirs to remove, and a link is never followed.
        struct stat found {};
        if (lstat(entry.path().c_str(), &found) != 0) continue;
        if (const char* refusal = foreignFile(found); refusal != nullptr)
            LOG("Left the work file ", entry.path().string(), " as it is : ", refusal);
        else
            unlink(entry.path().c_str());
    }
}
