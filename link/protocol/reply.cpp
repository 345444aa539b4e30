#include "link/protocol/reply.h"

#include <cstdint>

namespace qv::link {

std::optional<std::string_view> Reply::field(int position, int length) const {
    if (position < 2 || length < 1)
        return std::nullopt;
    // 64-bit: position + length must not wrap for any int, where long is 32 bits as well.
    const std::int64_t last = std::int64_t{position} + length - 1;
    if (last > std::int64_t{length_} - 3 || last > static_cast<std::int64_t>(text_.size()))
        return std::nullopt;
    return std::string_view(text_).substr(static_cast<std::size_t>(position - 1),
                                          static_cast<std::size_t>(length));
}

bool Reply::isExactly(int length) const {
    return length_ == length && text_.size() == static_cast<std::size_t>(length);
}

} // namespace qv::link
