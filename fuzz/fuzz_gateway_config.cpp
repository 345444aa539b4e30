// libFuzzer target: the gateway's configuration reader, with any text for a YAML file. It must
// never crash, and a file it takes must have no problem listed and a reader at least.
#include "gateway/config.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto loaded =
        qv::gateway::ParseConfig(std::string(reinterpret_cast<const char*>(data), size));
    if (loaded.config && (!loaded.problems.empty() || loaded.config->readers.empty()))
        std::abort();
    if (!loaded.config && loaded.problems.empty())
        std::abort();
    return 0;
}
