#include "operations/handlers.h"

#include "operations/bindings.h"
#include "operations/cycle.h"

#include <vector>

namespace qv::ops {

std::span<const Handler> Handlers() {
    static const std::vector<Handler> rows = [] {
        // The busy blink belongs to no group: discovery and tag reading both use it.
        std::vector<Handler> all{
            {"tmrBusyTimer", "tmrBusy", Event::Timeout, nullptr, tmrBusyTimer}};
        for (const auto group : {DiscoveryHandlers(), TagReadingHandlers(), IdentityLinkHandlers(),
                                 CardRulesHandlers(), RadioSignalHandlers(), RelayHandlers()})
            all.insert(all.end(), group.begin(), group.end());
        for (const BarBinding& bar : Bars())
            all.push_back({bar.handler, bar.bar, Event::Change, nullptr, nullptr, &bar});
        return all;
    }();
    return rows;
}

const Handler* FindHandler(std::string_view name) {
    for (const Handler& row : Handlers())
        if (name == row.name)
            return &row;
    return nullptr;
}

void Run(Context& ctx, const Handler& handler) {
    if (handler.operation)
        RunOperation(ctx, *handler.operation);
    else if (handler.run)
        handler.run(ctx);
    else if (handler.bar)
        ShowBar(ctx, *handler.bar);
}

} // namespace qv::ops
