#pragma once
// The reader's identity and firmware version, read as the discovery reads them: no identity step
// of its own, each request after a 100 ms pause.

#include "link/protocol/link.h"

#include <optional>
#include <string>

namespace qv::reader {

struct ReaderIdentity {
    std::string id, serial;
};

// Up to `tries` identity requests; only a verified reply of exactly 16 bytes with a two-digit ID
// is a reader.
std::optional<ReaderIdentity> ReadIdentity(link::Link& link, int tries);
// Up to `tries` version requests; the first verified reply gives the version.
std::optional<std::string> ReadVersion(link::Link& link, int tries);

} // namespace qv::reader
