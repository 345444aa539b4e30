#pragma once
// The guard around the program's start-up and message loop.

#include <functional>

namespace qv {

// Runs `run` and returns its result. An error that escapes it (a std::exception) is shown in the
// toolkit's error box: an error icon, the application name as caption and the error's text as
// plain text; the result is then 1, so that a launcher is never told that a failed start
// succeeded. Errors of any other kind pass through.
int RunGuarded(const std::function<int()>& run);

} // namespace qv
