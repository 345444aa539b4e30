#pragma once
// The reader's identity and firmware version, read as the discovery reads them: no identity step
// of its own, each request after a 100 ms pause. The counts and pauses of every identity and
// version read live here, for the window's discovery and every other front end alike.

#include "link/protocol/exchange.h"
#include "link/protocol/link.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qv::reader {

// The pause before each identity or version request of a discovery.
inline constexpr std::uint32_t kDiscoveryPauseMs = 100;
// Identity requests at a place already known (the quick attempt, info, backup, a reconnect) ...
inline constexpr int kIdentityTries = 3;
// ... at each place of the window's sweep, at each place of the command line's (which sweeps
// all ports at once) ...
inline constexpr int kSweepIdentityTries = 2;
inline constexpr int kScanIdentityTries = 1;
// ... and version requests once a reader answered.
inline constexpr int kVersionTries = 3;

struct ReaderIdentity {
    std::string id, serial;
};

// Up to `tries` identity requests; only a verified reply of exactly 16 bytes with a two-digit ID
// is a reader. `beforeTry` hears each try's number first (a traffic log labels the frames).
std::optional<ReaderIdentity> ReadIdentity(link::Link& link, int tries,
                                           const link::TryHook& beforeTry = {});
// Up to `tries` version requests; the first verified reply gives the version (empty for a reply
// of 8 bytes or fewer).
std::optional<std::string> ReadVersion(link::Link& link, int tries,
                                       const link::TryHook& beforeTry = {});

} // namespace qv::reader
