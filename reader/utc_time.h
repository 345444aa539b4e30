#pragma once
// The time of an event as every front end writes it: ISO 8601 in UTC, "2026-01-31T08:15:00Z",
// with milliseconds when asked ("...:00.123Z"). Safe from any thread.

#include <chrono>
#include <string>

namespace qv::reader {

std::string IsoUtc(std::chrono::system_clock::time_point when, bool millis);
std::string IsoUtcNow(bool millis);

} // namespace qv::reader
