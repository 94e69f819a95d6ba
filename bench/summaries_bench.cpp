// MongoDB's side of a verification of a whole collection, as a run asks for
// it: one summaries call over every ObjectId, twice. The first pays for
// what the MongoDB double keeps beside its fixture (a server keeps its
// index as documents come), the second is what every later call costs.
// bench/run calls it on each fixture before anything is timed.
// Usage: summaries_bench COLLECTION

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compare/side_summaries.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s COLLECTION\n", argv[0]);
        return 2;
    }
    const auto env = [](const char* name, const char* fallback) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : fallback);
    };
    const MongoLogin login{"127.0.0.1", env("QOR_MONGO_USER", "mongouser"), env("QOR_MONGO_PASSWORD", "mongopass")};
    const ObjectIdSpan everything{.lower = std::string(24, '0'), .upper = std::string(24, 'f')};
    for (const char* pass : {"cold", "warm"}) {
        const auto start = std::chrono::steady_clock::now();
        const SideReading<std::vector<Summary>> read = summarizeDocuments(login, argv[1], {everything}, realHost());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!read.value) {
            std::fprintf(stderr, "summaries of %s: %s\n", argv[1], read.why.c_str());
            return 1;
        }
        std::fprintf(stderr, "%s_seconds=%.3f documents=%lld\n", pass, took.count(),
                     static_cast<long long>(read.value->front().count));
    }
    return 0;
}
