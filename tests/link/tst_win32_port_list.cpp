// The port list on Windows: against a stand-in for SetupAPI holding the devices of a machine (Wine
// has no USB adapters to show), and once against the system itself.

#include "link/ports/port_list_win32.h"

#include <QTest>

#include <vector>

using qv::link::PortInfo;

namespace {

HDEVINFO const kSet = reinterpret_cast<HDEVINFO>(std::intptr_t{0x4712});

struct Device {
    std::string portName, hardwareId, instanceId, parentId, manufacturer, description, service;
};

// The Ports class of a machine; DevInst is the device's position plus one.
class FakeSetupApi : public qv::link::SetupApiCalls {
public:
    std::vector<Device> devices;
    bool refuse = false;
    std::vector<HDEVINFO> destroyed;

    HDEVINFO getClassDevs() override { return refuse ? INVALID_HANDLE_VALUE : kSet; }
    bool enumDeviceInfo(HDEVINFO set, DWORD index, SP_DEVINFO_DATA& device) override {
        if (set != kSet || index >= devices.size())
            return false;
        device.DevInst = index + 1;
        return true;
    }
    std::string instanceId(HDEVINFO, SP_DEVINFO_DATA& device) override {
        return at(device.DevInst).instanceId;
    }
    std::string registryProperty(HDEVINFO, SP_DEVINFO_DATA& device, DWORD property) override {
        const Device& d = at(device.DevInst);
        switch (property) {
        case SPDRP_HARDWAREID:
            return d.hardwareId;
        case SPDRP_MFG:
            return d.manufacturer;
        case SPDRP_DEVICEDESC:
            return d.description;
        case SPDRP_SERVICE:
            return d.service;
        default:
            return {};
        }
    }
    std::string portName(HDEVINFO, SP_DEVINFO_DATA& device) override {
        return at(device.DevInst).portName;
    }
    std::string parentInstanceId(DEVINST device) override { return at(device).parentId; }
    void destroyDeviceInfoList(HDEVINFO set) override { destroyed.push_back(set); }

private:
    const Device& at(DEVINST device) const { return devices.at(device - 1); }
};

} // namespace

class TstWin32PortList : public QObject {
    Q_OBJECT
private slots:
    void listsComPortsWithIdentities() {
        FakeSetupApi api;
        api.devices = {
            {"COM10", R"(FTDIBUS\COMPORT&VID_0403&PID_6001)",
             R"(FTDIBUS\VID_0403+PID_6001+A50285BIA\0000)", R"(USB\VID_0403&PID_6001\A50285BI)",
             "FTDI", "USB Serial Port", "FTDIBUS"},
            {"LPT1", R"(ACPI\PNP0400)", R"(ACPI\PNP0400\0)", "", "(Standard port types)",
             "Printer Port", "Parport"},
            {"COM3", R"(USB\VID_1A86&PID_7523&REV_0264)", R"(USB\VID_1A86&PID_7523\5&2C8F0B3&0&2)",
             R"(USB\ROOT_HUB30\4&1&0&0)", "wch.cn", "USB-SERIAL CH340", "CH341SER_A64"},
            {"COM1", R"(ACPI\PNP0501)", R"(ACPI\PNP0501\1)", R"(ACPI\PNP0A08\0)",
             "(Standard port types)", "Communications Port", "Serial"},
        };
        const auto ports = qv::link::ListSerialPortsWith(api);
        QCOMPARE(api.destroyed, std::vector<HDEVINFO>{kSet});
        QCOMPARE(ports.size(), std::size_t(3)); // no printer port

        QCOMPARE(QString::fromStdString(ports[0].device), QString(R"(\\.\COM1)"));
        QVERIFY(!ports[0].usb);
        QCOMPARE(QString::fromStdString(ports[0].driver), QString("Serial"));

        QCOMPARE(QString::fromStdString(ports[1].device), QString(R"(\\.\COM3)"));
        QVERIFY(ports[1].usb);
        QCOMPARE(ports[1].vid, std::uint16_t(0x1a86));
        QCOMPARE(ports[1].pid, std::uint16_t(0x7523));
        QVERIFY(ports[1].serial.empty());
        QCOMPARE(QString::fromStdString(ports[1].manufacturer), QString("wch.cn"));
        QCOMPARE(QString::fromStdString(ports[1].product), QString("USB-SERIAL CH340"));

        const PortInfo& ftdi = ports[2];
        QCOMPARE(QString::fromStdString(ftdi.device), QString(R"(\\.\COM10)"));
        QCOMPARE(ftdi.vid, std::uint16_t(0x0403));
        QCOMPARE(ftdi.pid, std::uint16_t(0x6001));
        QCOMPARE(QString::fromStdString(ftdi.serial), QString("A50285BI"));
        QCOMPARE(ftdi.interfaceNumber, 0);
        QCOMPARE(QString::fromStdString(ftdi.driver), QString("FTDIBUS"));
        QVERIFY(ftdi.stablePath.empty());

        // The selector names the same adapter on Windows as on Linux.
        const auto chosen = qv::link::SelectUsbPort("usb:0403:6001:A50285BI", ports);
        QVERIFY2(chosen.port, chosen.error.c_str());
        QCOMPARE(QString::fromStdString(chosen.port->device), QString(R"(\\.\COM10)"));
    }

    void refusedDeviceSetIsAnEmptyList() {
        FakeSetupApi api;
        api.refuse = true;
        api.devices = {{"COM1", R"(ACPI\PNP0501)", R"(ACPI\PNP0501\1)", "", "", "", "Serial"}};
        QVERIFY(qv::link::ListSerialPortsWith(api).empty());
        QVERIFY(api.destroyed.empty()); // nothing to release
    }

    // The real calls: whatever the system has, each entry is a COM port.
    void systemListHoldsComPortsOnly() {
        for (const auto& port : qv::link::ListSerialPorts())
            QVERIFY2(port.device.starts_with(R"(\\.\COM)"), port.device.c_str());
    }
};

QTEST_GUILESS_MAIN(TstWin32PortList)
#include "tst_win32_port_list.moc"
