#pragma once
// SHA-256 (FIPS 180-4) of a byte string, as 64 lower-case hexadecimal digits: the fingerprint of
// a profile in the station's records. Small and dependency-free so that it builds for Windows too.

#include <string>
#include <string_view>

namespace qv::reader {

std::string Sha256Hex(std::string_view bytes);

} // namespace qv::reader
