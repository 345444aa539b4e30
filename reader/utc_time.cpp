#include "reader/utc_time.h"

#include <cstdio>
#include <ctime>

namespace qv::reader {

std::string IsoUtc(std::chrono::system_clock::time_point when, bool millis) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &seconds);
#else
    gmtime_r(&seconds, &parts);
#endif
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::string out = text;
    if (millis) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
            1000;
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(ms));
        out += fraction;
    }
    return out + "Z";
}

std::string IsoUtcNow(bool millis) {
    return IsoUtc(std::chrono::system_clock::now(), millis);
}

} // namespace qv::reader
