#pragma once
// The benchmarks' command lines: `--name value` pairs, each with a fallback.

#include <cstring>

namespace qv::bench {

inline const char* Argument(int argc, char** argv, const char* name, const char* fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return fallback;
}

} // namespace qv::bench
