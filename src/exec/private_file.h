#pragma once
// Files for the secrets a client will only read from a file: made for their
// owner alone and gone as soon as the call that needed them is over.

#include <string>
#include <string_view>

class PrivateFile {
public:
    // Created anew (mode 0600, never an existing file reused) with `content`.
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

// The exporter's configuration file of this process, in the work folder:
// exports run one at a time.
std::string exportConfigPath();

// Removes the exporter configuration files a killed run left behind. Only
// one migration runs at a time, so any found belong to no live export.
void removeLeftoverExportConfigs();
