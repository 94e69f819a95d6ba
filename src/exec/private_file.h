#pragma once
// Files the tool writes in the work folder, which every local account may
// write to: each made anew for this process, never through a link and never
// into a file somebody else made; and the files for the secrets a client
// will only read from a file, gone as soon as the call that needed them is
// over.

#include <fcntl.h>

#include <string>
#include <string_view>

// An open descriptor for writing a new, empty file at `path` (mode 0600,
// created exclusively, not through a link), or -1 after a line naming the
// path. A stale file of our own there, a regular file of this user, is
// removed first; a link, another account's file or anything else is
// refused and left as it is, so no write lands where a planted link points.
int createWorkFile(const std::string& path, int access = O_WRONLY);

class PrivateFile {
public:
    // Created as a work file with `content`; a line names it when it could not be.
    PrivateFile(std::string path, std::string_view content);
    ~PrivateFile();
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    bool created() const { return created_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool created_ = false;
};

// A new name for an exporter's configuration file, in the work folder: one
// of this process's exports may run beside another.
std::string exportConfigPath();

// Removes the exporter configuration files a killed run left behind. Only
// one migration runs at a time, so any found belong to no live export. Only
// regular files of the tool's own account go; a link or another account's
// file of such a name is left and named in a line.
void removeLeftoverExportConfigs();
