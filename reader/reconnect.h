#pragma once
// What a tag run does when its port's device goes away (link::Link::lineGone: an adapter pulled
// out): the port is closed and the same port is opened again, at the same line settings, until
// the device is back, the run is stopped or a bound has passed. The window's run and `watch`
// both wait here; the timings live in this one place and run on the link's clock.

#include "link/protocol/link.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv::reader {

struct ReconnectRule {
    // A port that is not there is tried again this often.
    static constexpr std::uint32_t kRetryMs = 500;
    // udev gives a new device node its group and mode just after the node appears, so a refusal
    // for want of permission is tried again this long, kGraceRetryMs apart, before it counts.
    static constexpr std::uint32_t kNoPermissionGraceMs = 2000;
    static constexpr std::uint32_t kGraceRetryMs = 100;
    // How often the wait lets the window in, and with it a stop click.
    static constexpr std::uint32_t kPumpMs = 10;
};

enum class Reconnected {
    Yes,     // the port is open again
    Stopped, // `stopped()` said so; nothing is open
    TimeUp,  // the bound passed; nothing is open
};

// An open that failed for a reason worth telling (not merely "not there"): the reason and the
// device's detail (link::Link::lastOpenErrorDetail).
using ReopenFailure = std::function<void(link::SerialError error, const std::string& detail)>;

// Closes the link's port, then opens COM`port` at `settings` at once and again every 500 ms.
// Between tries the link's event pump runs every 10 ms and `stopped()` is asked each time and
// before every open, so a stop is followed by no further open. A device that is not there
// (NoDevice) is only tried again; a refusal for want of permission is tried again every 100 ms
// and goes to `onFailure` once it has lasted 2 s; any other failure goes there at once.
// `onFailure` hears each reason once, until another reason or a success comes between.
// `limitMs`: the whole wait's bound, none when empty.
Reconnected Reconnect(link::Link& link, int port, const std::string& settings,
                      const std::function<bool()>& stopped, std::optional<std::uint32_t> limitMs,
                      const ReopenFailure& onFailure = {});

} // namespace qv::reader
