#pragma once
// The benchmarks' command lines: `--name value` pairs, each with a fallback, and --help.

#include <cstdio>
#include <cstring>

namespace qv::bench {

inline const char* Argument(int argc, char** argv, const char* name, const char* fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return fallback;
}

// True, with `usage` printed, when the command line asks for help (--help or -h): the bench then
// ends at once, without measuring anything.
inline bool WantsHelp(int argc, char** argv, const char* usage) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s", usage);
            return true;
        }
    return false;
}

} // namespace qv::bench
