#pragma once
// A machine's serial ports as the kernel and udev lay them out in sysfs and /dev, built in a
// folder for tests: two built-in ports of which one has a UART, a virtual console, an FTDI
// (serial A50285BI) on ttyUSB0, a CDC-ACM board on ttyACM0, two CH340 without serial numbers on
// ttyUSB1 and ttyUSB10, two CP2102 with serials 0001 and 0002 on ttyUSB2 and ttyUSB5 and a
// two-channel FTDI (serial FT4ZQ1) on ttyUSB3 and ttyUSB4. The device nodes are plain files.

#include <filesystem>
#include <string>

namespace qv::test {

// One USB serial port: the USB device (1-1) and its interface; the serial empty: no attribute.
struct Usb {
    std::string device;
    int interfaceNumber;
    std::string vid, pid, serial, manufacturer, product;
};

// Adds `usb`'s port to the tree at `sys` as the tty `tty`: `port` true for a usb-serial port
// device between interface and tty (ttyUSB), false for cdc_acm (ttyACM).
void UsbTty(const std::filesystem::path& sys, const Usb& usb, const std::string& tty, bool port,
            const std::string& driver);

void MakeFakePortTree(const std::filesystem::path& sys, const std::filesystem::path& dev);

} // namespace qv::test
