// The port list on Windows, from SetupAPI's Ports class.
#include "link/ports/port_list_win32.h"

#include <devguid.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace qv::link {

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back(); // the terminating NUL
    return utf8;
}

class SystemCalls : public SetupApiCalls {
public:
    HDEVINFO getClassDevs() override {
        return SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    }
    bool enumDeviceInfo(HDEVINFO set, DWORD index, SP_DEVINFO_DATA& device) override {
        device = {};
        device.cbSize = sizeof device;
        return SetupDiEnumDeviceInfo(set, index, &device) != FALSE;
    }
    std::string instanceId(HDEVINFO set, SP_DEVINFO_DATA& device) override {
        wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
        if (!SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, nullptr))
            return {};
        return Utf8(id);
    }
    std::string registryProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) override {
        // Two NULs at the end even when the system fills the buffer to the brim.
        std::vector<wchar_t> text(1024, L'\0');
        DWORD type = 0;
        if (!SetupDiGetDeviceRegistryPropertyW(
                set, &device, property, &type, reinterpret_cast<BYTE*>(text.data()),
                static_cast<DWORD>((text.size() - 2) * sizeof(wchar_t)), nullptr) ||
            (type != REG_SZ && type != REG_MULTI_SZ))
            return {};
        return Utf8(text.data());
    }
    std::string portName(HDEVINFO set, SP_DEVINFO_DATA& device) override {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            return {};
        wchar_t name[64] = {};
        DWORD type = 0;
        DWORD bytes = sizeof name - sizeof(wchar_t);
        const bool ok = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                         reinterpret_cast<BYTE*>(name), &bytes) == ERROR_SUCCESS &&
                        type == REG_SZ;
        RegCloseKey(key);
        return ok ? Utf8(name) : std::string();
    }
    std::string parentInstanceId(DEVINST device) override {
        DEVINST parent = 0;
        wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
        if (CM_Get_Parent(&parent, device, 0) != CR_SUCCESS ||
            CM_Get_Device_IDW(parent, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
            return {};
        return Utf8(id);
    }
    void destroyDeviceInfoList(HDEVINFO set) override { SetupDiDestroyDeviceInfoList(set); }
};

bool IsComName(const std::string& name) {
    return name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
           std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(name[2])) == 'M';
}

} // namespace

SetupApiCalls& SystemSetupApiCalls() {
    static SystemCalls calls;
    return calls;
}

std::vector<PortInfo> ListSerialPortsWith(SetupApiCalls& calls) {
    std::vector<PortInfo> ports;
    const HDEVINFO set = calls.getClassDevs();
    if (set == INVALID_HANDLE_VALUE)
        return ports;
    SP_DEVINFO_DATA device{};
    for (DWORD index = 0; calls.enumDeviceInfo(set, index, device); ++index) {
        const std::string name = calls.portName(set, device);
        if (!IsComName(name))
            continue;
        PortInfo port = ParseWin32DeviceIds(calls.registryProperty(set, device, SPDRP_HARDWAREID),
                                            calls.instanceId(set, device),
                                            calls.parentInstanceId(device.DevInst));
        port.device = R"(\\.\)" + name;
        port.manufacturer = calls.registryProperty(set, device, SPDRP_MFG);
        port.product = calls.registryProperty(set, device, SPDRP_DEVICEDESC);
        port.driver = calls.registryProperty(set, device, SPDRP_SERVICE);
        ports.push_back(std::move(port));
    }
    calls.destroyDeviceInfoList(set);
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return DeviceNameLess(a.device, b.device);
    });
    return ports;
}

std::vector<PortInfo> ListSerialPorts() {
    return ListSerialPortsWith(SystemSetupApiCalls());
}

} // namespace qv::link
