// libFuzzer target: the gateway's MQTT command decoder, with whatever payload a client publishes.
// The first byte picks set or get; the decoder must never crash, and what it decodes must be
// what the reader model can write or read.
#include "gateway/commands.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto decoded =
        data[0] & 1 ? qv::gateway::DecodeSet(payload) : qv::gateway::DecodeGet(payload);
    if (decoded.command.has_value() == !decoded.error.empty())
        std::abort(); // a command, or a reason: one of the two
    if (const auto* set =
            decoded.command ? std::get_if<qv::gateway::SetCommand>(&*decoded.command) : nullptr)
        for (const auto& item : set->items)
            if (!qv::reader::SetCommand(item.param, item.value, qv::link::Reply{}) &&
                item.param != qv::reader::Param::Id)
                std::abort(); // every value decoded can be written
    return 0;
}
