// Date-time extraction from a MongoDB shell line. A line without a quoted
// value ends the process with status 1 by design, so such lines are read in
// a forked child whose ending is checked; a line with one gives the quoted
// text in the tool's date-time form.

#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "exec/runners.h"
#include "fuzz_check.h"

namespace {
bool holdsQuotedValue(const std::string& line) {
    const std::size_t open = line.find('\'');
    const std::size_t close = line.rfind('\'');
    return open != std::string::npos && open + 1 < close;
}

// libFuzzer treats any exit of the target as a finding and would report it
// from the child; the child's own exit handler, registered last and so run
// first, passes the status on before libFuzzer's gets to see it.
void passStatusOn(int status, void*) { _exit(status); }

int statusOfRefusedLine(const std::string& line) {
    const pid_t child = fork();
    if (child == 0) {
        on_exit(passStatusOn, nullptr);
        getDataStr(line);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (!holdsQuotedValue(line)) {
        const int status = statusOfRefusedLine(line);
        fuzzCheck(WIFEXITED(status) && WEXITSTATUS(status) == 1,
                  "a line without a quoted value ends the run with status 1", line);
        return 0;
    }
    const std::string value = getDataStr(line);
    const std::size_t open = line.find('\'') + 1;
    const std::string quoted = line.substr(open, line.rfind('\'') - open);
    fuzzCheck(value.size() <= quoted.size(), "the value comes from between the quotes", line);
    fuzzCheck(value.find_first_of("T.") == std::string::npos, "no 'T' and no '.' remain", line);
    for (std::size_t i = 0; i < value.size(); ++i) {
        fuzzCheck(value[i] == (quoted[i] == 'T' ? ' ' : quoted[i]),
                  "the value is the head of the quoted text", line);
    }
    return 0;
}
