#pragma once
// A broken property aborts, which libFuzzer records as a crash together with
// the input that caused it.

#include <cstdio>
#include <cstdlib>
#include <string_view>

inline void fuzzCheck(bool holds, const char* property, std::string_view input) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\ninput (%zu bytes): %.*s\n", property, input.size(),
                 static_cast<int>(input.size()), input.data());
    std::abort();
}
