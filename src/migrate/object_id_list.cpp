#include "migrate/object_id_list.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "exec/private_file.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Large blocks in both directions: a list of tens of millions of lines must
// not cost a system call or an allocation per line.
constexpr std::size_t blockSize = std::size_t{1} << 20;

class IdWriter {
public:
    explicit IdWriter(std::FILE* file) : file_(file) { buffer_.reserve(blockSize); }

    void write(std::string_view id) {
        if (buffer_.size() + id.size() + 1 > blockSize) flush();
        buffer_.insert(buffer_.end(), id.begin(), id.end());
        buffer_.push_back('\n');
    }

    bool flush() {
        if (!buffer_.empty() &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
            failed_ = true;
        }
        buffer_.clear();
        return !failed_;
    }

private:
    std::FILE* file_;
    std::vector<char> buffer_;
    bool failed_ = false;
};

// The id follows "$oid", the next colon and one opening quote, and ends
// before the next quote; a line without all of these yields nothing.
void writeIdOfLine(std::string_view line, IdWriter& writer) {
    const std::size_t marker = line.find("$oid");
    if (marker == std::string_view::npos) return;
    const std::size_t colon = line.find(':', marker);
    if (colon == std::string_view::npos) return;
    const std::size_t start = colon + 2;
    if (start > line.size()) return;
    const std::size_t quote = line.find('"', start);
    if (quote == std::string_view::npos) return;
    writer.write(line.substr(start, quote - start));
}
}  // namespace

std::int32_t extractObjectIds(const std::string& input, const std::string& output) {
    const int made = createWorkFile(output);
    if (made < 0) return -1;
    const File out(fdopen(made, "wb"));
    if (!out) {
        close(made);
        LOG("Cannot write the work file ", output);
        return -1;
    }
    const File in(std::fopen(input.c_str(), "rb"));
    if (!in) return 0;

    IdWriter writer(out.get());
    std::vector<char> block(blockSize);
    std::size_t kept = 0;  // bytes of an unfinished line at the front of block
    std::int64_t lines = 0;
    for (;;) {
        if (kept == block.size()) block.resize(block.size() * 2);
        const std::size_t got = std::fread(block.data() + kept, 1, block.size() - kept, in.get());
        if (got == 0) break;
        const char* begin = block.data();
        const char* end = begin + kept + got;
        while (const void* found = std::memchr(begin, '\n', static_cast<std::size_t>(end - begin))) {
            const char* newline = static_cast<const char*>(found);
            writeIdOfLine(std::string_view(begin, static_cast<std::size_t>(newline - begin)), writer);
            ++lines;
            begin = newline + 1;
        }
        kept = static_cast<std::size_t>(end - begin);
        std::memmove(block.data(), begin, kept);
    }
    if (std::ferror(in.get())) {
        LOG("Cannot read the work file ", input);
        return -1;
    }
    if (kept > 0) {
        writeIdOfLine(std::string_view(block.data(), kept), writer);
        ++lines;
    }
    if (!writer.flush() || std::fflush(out.get()) != 0) {
        LOG("Cannot write the work file ", output);
        return -1;
    }
    constexpr std::int64_t most = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(lines < most ? lines : most);
}

ObjectIdBatchReader::ObjectIdBatchReader(std::istream& list, std::int32_t batchCount)
    : list_(list), batchCount_(batchCount < 1 ? 1 : batchCount) {}

bool ObjectIdBatchReader::next(ObjectIdBatch& batch) {
    batch.size = 0;
    while (badLine_ == 0 && batch.size < batchCount_ && std::getline(list_, line_)) {
        ++lineNumber_;
        if (!isObjectIdText(line_)) {
            badLine_ = lineNumber_;
            batch.size = 0;
            break;
        }
        if (batch.size == 0) batch.upper.assign(line_);
        batch.lower.assign(line_);
        ++batch.size;
    }
    return batch.size > 0;
}
