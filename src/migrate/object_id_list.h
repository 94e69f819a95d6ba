#pragma once
// The ObjectId list of a batched load: the exporter's `_id` lines boiled down
// to one id a line, and read back a batch at a time. Both sides stream, so a
// list of fifty million ids costs no more memory than one of a hundred.

#include <cstdint>
#include <istream>
#include <string>

// Writes the id of every input line that carries one ("$oid", a colon, a
// quoted value) to `output`, one a line, and returns the number of input
// lines, with or without an id. The output is made anew as a work file. An
// input that cannot be opened gives 0 (and an empty output); an output that
// cannot be made or written, or an input that breaks off while being read,
// gives -1 with a log line naming the file.
std::int32_t extractObjectIds(const std::string& input, const std::string& output);

struct ObjectIdBatch {
    std::string upper;  // the first id of the batch: the list runs newest first
    std::string lower;  // the id read last
    std::int32_t size = 0;
};

class ObjectIdBatchReader {
public:
    // A batch count below 1 reads one id a batch.
    ObjectIdBatchReader(std::istream& list, std::int32_t batchCount);

    // Fills `batch` with the next up to batchCount ids; false once the list
    // holds no further line, or at a line that is not an ObjectId text: the
    // bounds go into the exporter's query, and an empty or odd one would
    // widen a batch to the whole collection or worse.
    bool next(ObjectIdBatch& batch);

    // The number of the first line that is not an ObjectId; 0 while there is none.
    std::int64_t badLine() const { return badLine_; }

private:
    std::istream& list_;
    std::int32_t batchCount_;
    std::string line_;
    std::int64_t lineNumber_ = 0;
    std::int64_t badLine_ = 0;
};
