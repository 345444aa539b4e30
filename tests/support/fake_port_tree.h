#pragma once
// A machine's serial ports as the kernel and udev lay them out in sysfs and /dev, built in a
// folder for tests: two built-in ports of which one has a UART, a virtual console, an FTDI
// (serial A50285BI) on ttyUSB0, a CDC-ACM board on ttyACM0, two CH340 without serial numbers on
// ttyUSB1 and ttyUSB10, two CP2102 with serials 0001 and 0002 on ttyUSB2 and ttyUSB5 and a
// two-channel FTDI (serial FT4ZQ1) on ttyUSB3 and ttyUSB4. The device nodes are plain files.

#include <filesystem>

namespace qv::test {

void MakeFakePortTree(const std::filesystem::path& sys, const std::filesystem::path& dev);

} // namespace qv::test
