// Arbitrary bytes from a serial device server: through the Telnet / COM-PORT-OPTION receive
// parser, in pieces of the size the first byte chooses, as a network splits them. Besides any
// out-of-bounds access or undefined behaviour, a finding is more data than input, or a parse that
// differs from the parse of the same bytes in one piece.
//
// Input layout: 1 byte piece size (1 to 256), then the bytes the server sends.

#include "link/transport/telnet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using qv::link::telnet::Receiver;

struct Parse {
    std::string data, answers, replies;
};

Parse Run(const std::uint8_t* bytes, std::size_t size, std::size_t piece) {
    Receiver receiver;
    Parse p;
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t n = size - at < piece ? size - at : piece;
        receiver.feed(bytes + at, n, p.data);
        p.answers += receiver.takeAnswers();
    }
    for (std::uint8_t command = 0; command < 40; ++command)
        if (const auto reply = receiver.takeReply(command))
            p.replies += std::to_string(command) + ":" + *reply + ";";
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t piece = std::size_t{data[0]} + 1;
    const Parse split = Run(data + 1, size - 1, piece);
    const Parse whole = Run(data + 1, size - 1, size);
    if (split.data != whole.data || split.answers != whole.answers ||
        split.replies != whole.replies)
        std::abort();
    if (split.data.size() > size - 1)
        std::abort();
    return 0;
}
