#pragma once
// Throw-away files for tests that need the real file system or real child
// processes: a private directory that goes with everything in it, and the
// small file chores around it.

#include <string>
#include <string_view>

class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the directory.
    std::string file(std::string_view name) const;
    // Writes `content` to `relative` below the directory, creating parents;
    // returns the full path.
    std::string write(const std::string& relative, std::string_view content) const;

private:
    std::string path_;
};

// Writes `content` to `path` and makes it executable: the doubles of the
// outside programs are small shell scripts.
void writeExecutable(const std::string& path, std::string_view content);

// The whole content of a file; empty when it cannot be read.
std::string readWholeFile(const std::string& path);

bool fileExists(const std::string& path);
