#pragma once
// The work files of a repair: id lists, the runs found, the exporter's query.
// Each lives in the work folder under a fixed name, "qorolapmigrate-repair-"
// and its own, for this process alone, and is gone when it goes out of scope.

#include <cstdio>
#include <string>
#include <string_view>

class RepairWorkFile {
public:
    // Made anew, mode 0600. A leftover of a killed run is replaced; a link
    // or another account's file of that name is refused, not followed.
    explicit RepairWorkFile(std::string_view name);
    ~RepairWorkFile();
    RepairWorkFile(const RepairWorkFile&) = delete;
    RepairWorkFile& operator=(const RepairWorkFile&) = delete;

    bool opened() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

    // Appends; false once anything could not be written.
    bool write(std::string_view text);
    // Makes what was written readable by others (a child reading the path)
    // and the file readable from its start through readLine.
    bool finishWriting();
    // The next line without its newline; false at the end.
    bool readLine(std::string& line);

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};
