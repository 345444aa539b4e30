#include "link/transport/serial_device.h"

namespace qv::link {

namespace {

constexpr bool InEnumOrder() {
    for (std::size_t i = 0; i < kSerialErrorWords.size(); ++i)
        if (static_cast<std::size_t>(kSerialErrorWords[i].error) != i)
            return false;
    return true;
}
static_assert(InEnumOrder(), "kSerialErrorWords lists every SerialError in its order");

} // namespace

const char* DescribeSerialError(SerialError error) {
    const auto index = static_cast<std::size_t>(error);
    if (index >= kSerialErrorWords.size())
        return kSerialErrorWords.back().words;
    const char* words = kSerialErrorWords[index].words;
    return words ? words : NoPermissionText();
}

std::string DescribeOpenFailure(SerialError error, const std::string& detail) {
    const std::string reason = DescribeSerialError(error);
    if (detail.empty())
        return reason;
    // "Cannot be opened" says less than the detail does.
    return error == SerialError::Other ? detail : reason + " (" + detail + ")";
}

} // namespace qv::link
