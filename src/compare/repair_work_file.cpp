#include "compare/repair_work_file.h"

#include <unistd.h>

#include "exec/private_file.h"
#include "util/paths.h"

RepairWorkFile::RepairWorkFile(std::string_view name)
    : path_(rootedPath(paths::workDirectory) + "/qorolapmigrate-repair-" + std::string(name)) {
    const int fd = createWorkFile(path_, O_RDWR);
    if (fd < 0) return;
    file_ = fdopen(fd, "w+");
    if (file_ == nullptr) {
        close(fd);
        unlink(path_.c_str());
    }
}

RepairWorkFile::~RepairWorkFile() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    unlink(path_.c_str());
}

bool RepairWorkFile::write(std::string_view text) {
    failed_ = failed_ || std::fwrite(text.data(), 1, text.size(), file_) != text.size();
    return !failed_;
}

bool RepairWorkFile::finishWriting() {
    failed_ = failed_ || std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0;
    return !failed_;
}

bool RepairWorkFile::readLine(std::string& line) {
    line.clear();
    for (int c; (c = std::fgetc(file_)) != EOF;) {
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}
