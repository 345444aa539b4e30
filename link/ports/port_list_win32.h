#pragma once
// The port list on Windows: the present devices of the Ports setup class, through SetupAPI. The
// calls go through one interface so that a test can stand in for the devices of a machine.

#include "link/ports/port_list.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <string>

namespace qv::link {

// The SetupAPI and configuration manager calls the list makes. Texts come back as UTF-8, empty
// when the system has none.
class SetupApiCalls {
public:
    virtual ~SetupApiCalls() = default;
    // SetupDiGetClassDevsW(GUID_DEVCLASS_PORTS, present devices); INVALID_HANDLE_VALUE on failure.
    virtual HDEVINFO getClassDevs() = 0;
    // SetupDiEnumDeviceInfo: false after the last device.
    virtual bool enumDeviceInfo(HDEVINFO set, DWORD index, SP_DEVINFO_DATA& device) = 0;
    // SetupDiGetDeviceInstanceIdW.
    virtual std::string instanceId(HDEVINFO set, SP_DEVINFO_DATA& device) = 0;
    // SetupDiGetDeviceRegistryPropertyW; of a list (SPDRP_HARDWAREID) the first string.
    virtual std::string registryProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) = 0;
    // The value PortName of the device's hardware key (SetupDiOpenDevRegKey, DIREG_DEV).
    virtual std::string portName(HDEVINFO set, SP_DEVINFO_DATA& device) = 0;
    // CM_Get_Parent, then CM_Get_Device_IDW of the parent.
    virtual std::string parentInstanceId(DEVINST device) = 0;
    // SetupDiDestroyDeviceInfoList.
    virtual void destroyDeviceInfoList(HDEVINFO set) = 0;
};

// The real system.
SetupApiCalls& SystemSetupApiCalls();

// The COM ports among the Ports class (printer ports, LPTn, are left out), each with the USB
// identity in its IDs (ParseWin32DeviceIds), in COM number order. The device set is released.
std::vector<PortInfo> ListSerialPortsWith(SetupApiCalls& calls);

} // namespace qv::link
