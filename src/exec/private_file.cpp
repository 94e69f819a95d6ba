#include "exec/private_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "util/paths.h"

namespace {
constexpr std::string_view exportConfigPrefix = "qorolapmigrate-mongoexport-";
}  // namespace

PrivateFile::PrivateFile(std::string path, std::string_view content) : path_(std::move(path)) {
    // A file of that name can only be a leftover of an earlier process with
    // our id; O_EXCL then guarantees that nobody else holds it open.
    unlink(path_.c_str());
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return;
    created_ = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    created_ = close(fd) == 0 && created_;
    if (!created_) unlink(path_.c_str());
}

PrivateFile::~PrivateFile() {
    if (created_) unlink(path_.c_str());
}

std::string exportConfigPath() {
    return rootedPath(paths::workDirectory) + "/" + std::string(exportConfigPrefix) +
           std::to_string(getpid()) + ".yaml";
}

void removeLeftoverExportConfigs() {
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::directory_iterator(rootedPath(paths::workDirectory), ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(exportConfigPrefix, 0) == 0 && entry.path().extension() == ".yaml")
            std::filesystem::remove(entry.path(), ignored);
    }
}
