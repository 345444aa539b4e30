#pragma once
// quorvane-cli as a function: parses the command line, runs the subcommand, writes its output
// and returns the exit status. main.cpp only wires the signals and the standard streams.

#include <atomic>
#include <istream>
#include <ostream>

namespace qv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitReader = 1; // the reader did not answer or answered wrongly
inline constexpr int kExitUsage = 2;  // bad command line or input file
inline constexpr int kExitPort = 3;   // the port could not be opened

// `in` is read by `restore -`. `stop` is set by the caller on SIGINT/SIGTERM; watch and scan
// end cleanly when it is.
int RunCli(int argc, const char* const* argv, std::istream& in, std::ostream& out,
           std::ostream& err, const std::atomic<bool>& stop);

} // namespace qv::cli
