#include "reader/reconnect.h"

namespace qv::reader {

Reconnected Reconnect(link::Link& link, int port, const std::string& settings,
                      const std::function<bool()>& stopped, std::optional<std::uint32_t> limitMs,
                      const ReopenFailure& onFailure) {
    using link::SerialError;
    link.CommClose();
    const std::uint32_t start = link.nowMs();
    std::optional<std::uint32_t> lastTry, deniedSince;
    SerialError told = SerialError::None;
    for (;;) {
        if (stopped())
            return Reconnected::Stopped;
        const std::uint32_t now = link.nowMs();
        if (limitMs && now - start >= *limitMs)
            return Reconnected::TimeUp;
        const bool inGrace =
            deniedSince && now - *deniedSince <= ReconnectRule::kNoPermissionGraceMs;
        const std::uint32_t interval =
            inGrace ? ReconnectRule::kGraceRetryMs : ReconnectRule::kRetryMs;
        if (!lastTry || now - *lastTry >= interval) {
            lastTry = now;
            if (link.CommOpen(port, settings))
                return Reconnected::Yes;
            const SerialError error = link.lastOpenError();
            bool worthTelling = error != SerialError::NoDevice;
            if (error == SerialError::AccessDenied) {
                if (!deniedSince)
                    deniedSince = now;
                worthTelling = now - *deniedSince >= ReconnectRule::kNoPermissionGraceMs;
            } else {
                deniedSince.reset();
            }
            if (!worthTelling) {
                told = SerialError::None;
            } else if (error != told) {
                told = error;
                if (onFailure)
                    onFailure(error, link.lastOpenErrorDetail());
            }
        }
        link.pumpEvents();
        link.sleepMs(ReconnectRule::kPumpMs);
    }
}

} // namespace qv::reader
