#include "reader/scan.h"

#include <thread>

namespace qv::reader {

namespace {

// One port: each setting in turn until a reader answers; a port that does not open is given up
// at once, as the window's sweep gives it up. Behind raw TCP no setting is applied, so one try
// says all there is to say, and a reader found there is at the server's settings.
void ScanPort(PortScan& result, const std::vector<std::string>& settings, TraceLog* trace,
              const std::atomic<bool>& stop) {
    Connection connection(result.place, trace);
    for (const auto& setting : settings) {
        if (stop)
            return;
        if (!connection.open(setting)) {
            result.openError = connection.openError();
            result.openErrorText = connection.openErrorText();
            return;
        }
        const bool applied = connection.link().lineSettingsApplied();
        if (auto identity = connection.readIdentity(kScanIdentityTries)) {
            result.find = ScanFind{applied ? std::optional(setting) : std::nullopt, *identity,
                                   connection.readVersion(kVersionTries)};
            connection.close();
            return;
        }
        connection.close();
        if (!applied)
            return;
    }
}

} // namespace

std::vector<PortScan> Scan(const std::vector<Place>& ports,
                           const std::vector<std::string>& settings, TraceLog* trace,
                           const std::atomic<bool>& stop, bool parallel) {
    std::vector<PortScan> results;
    for (const auto& place : ports)
        results.push_back(PortScan{place, link::SerialError::None, {}, std::nullopt});
    if (!parallel) {
        for (auto& result : results)
            ScanPort(result, settings, trace, stop);
        return results;
    }
    std::vector<std::thread> threads;
    threads.reserve(results.size());
    for (auto& result : results)
        threads.emplace_back(
            [&result, &settings, trace, &stop] { ScanPort(result, settings, trace, stop); });
    for (auto& thread : threads)
        thread.join();
    return results;
}

} // namespace qv::reader
