// quorvane-cli ports: the machine's serial ports with their USB identity, the COM numbers the
// window gives them and whether they can be opened now.
#include "cli/session.h"

#include "link/ports/port_overrides.h"
#include "link/ports/port_status.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace qv::cli {

namespace {

using json = nlohmann::ordered_json;

json TextOrNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

std::string ComList(const std::vector<int>& numbers) {
    std::string text;
    for (int n : numbers)
        text += (text.empty() ? "COM" : ", COM") + std::to_string(n);
    return text.empty() ? "no COM number" : text;
}

json PortDocument(const link::PortStatus& s) {
    const link::PortInfo& p = s.port;
    const std::string id = link::UsbIdText(p);
    json com = json::array();
    for (int n : s.comNumbers)
        com.push_back("COM" + std::to_string(n));
    return {{"device", p.device},
            {"stable_path", TextOrNull(p.stablePath)},
            {"vid", p.usb ? json(id.substr(0, 4)) : json(nullptr)},
            {"pid", p.usb ? json(id.substr(5)) : json(nullptr)},
            {"serial", TextOrNull(p.serial)},
            {"manufacturer", TextOrNull(p.manufacturer)},
            {"product", TextOrNull(p.product)},
            {"interface", p.interfaceNumber >= 0 ? json(p.interfaceNumber) : json(nullptr)},
            {"driver", TextOrNull(p.driver)},
            {"com", com},
            {"state", link::PortStateWord(s.state)}};
}

// "/dev/ttyUSB0  COM5  ok", then the identity's known fields, indented.
void WriteBlock(std::ostream& out, const link::PortStatus& s) {
    const link::PortInfo& p = s.port;
    out << p.device << "  " << ComList(s.comNumbers) << "  " << link::PortStateWord(s.state)
        << '\n';
    const Rows rows = {
        {"stable path", p.stablePath},
        {"VID:PID", link::UsbIdText(p)},
        {"serial", p.serial},
        {"manufacturer", p.manufacturer},
        {"product", p.product},
        {"interface", p.interfaceNumber >= 0 ? std::to_string(p.interfaceNumber) : std::string()},
        {"driver", p.driver}};
    std::size_t width = 0;
    for (const auto& [key, value] : rows)
        width = std::max(width, key.size());
    for (const auto& [key, value] : rows)
        if (!value.empty())
            out << "  " << key << std::string(width - key.size() + 2, ' ') << PrintableBytes(value)
                << '\n';
}

int RunPorts(Session& s) {
    const auto survey =
        link::SurveyPorts(link::PortRootsFromEnvironment(), link::ReadPortOverrides());
    if (s.output.asJson) {
        json doc = json::array();
        for (const auto& port : survey)
            doc.push_back(PortDocument(port));
        s.output.out() << Dump(doc, 2) << '\n';
    } else if (survey.empty()) {
        s.output.text("no serial ports found");
    } else {
        for (std::size_t i = 0; i < survey.size(); ++i) {
            if (i > 0)
                s.output.out() << '\n';
            WriteBlock(s.output.out(), survey[i]);
        }
    }
    return kExitOk;
}

} // namespace

void SetupPorts(CLI::App& app, Session& session) {
    auto* sub = app.add_subcommand(
        "ports", "list this machine's serial ports: USB identity, COM number, whether it opens");
    sub->callback([&session] { session.exitCode = RunPorts(session); });
}

} // namespace qv::cli
