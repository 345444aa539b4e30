// A machine's serial ports as sysfs and udev lay them out, built in a folder for tests.
#include "tests/support/fake_port_tree.h"

#include <fstream>
#include <string>

namespace qv::test {

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << '\n';
}

// A tty as the kernel shows it: class/tty/NAME -> its directory under devices, whose `device`
// link leads to `device` (relative to sys/devices), bound to `driver` (relative to sys/bus).
void Tty(const fs::path& sys, const std::string& name, const std::string& device,
         const std::string& driver) {
    const fs::path hardware = sys / "devices" / device;
    const fs::path classDir = hardware / "tty" / name;
    fs::create_directories(classDir);
    fs::create_directories(sys / "class" / "tty");
    fs::create_symlink(fs::relative(classDir, sys / "class" / "tty"), sys / "class" / "tty" / name);
    fs::create_symlink(fs::relative(hardware, classDir), classDir / "device");
    if (!driver.empty()) {
        fs::create_directories(sys / "bus" / driver);
        fs::create_symlink(fs::relative(sys / "bus" / driver, hardware), hardware / "driver");
    }
}

void Link(const fs::path& dev, const std::string& kind, const std::string& name,
          const std::string& tty) {
    fs::create_directories(dev / "serial" / kind);
    fs::create_symlink("../../" + tty, dev / "serial" / kind / name);
}

} // namespace

// A USB serial port: the USB device and its interface; `tty` is the tty's name, `port` true for
// a usb-serial port device between interface and tty (ttyUSB), false for cdc_acm (ttyACM).
void UsbTty(const fs::path& sys, const Usb& usb, const std::string& tty, bool port,
            const std::string& driver) {
    const std::string usbDir = "pci0000:00/0000:00:14.0/usb1/" + usb.device;
    const std::string interface =
        usbDir + "/" + usb.device + ":1." + std::to_string(usb.interfaceNumber);
    Tty(sys, tty, port ? interface + "/" + tty : interface, driver);
    Write(sys / "devices" / interface / "bInterfaceNumber",
          "0" + std::to_string(usb.interfaceNumber));
    const fs::path dir = sys / "devices" / usbDir;
    Write(dir / "idVendor", usb.vid);
    Write(dir / "idProduct", usb.pid);
    if (!usb.serial.empty())
        Write(dir / "serial", usb.serial);
    if (!usb.manufacturer.empty())
        Write(dir / "manufacturer", usb.manufacturer);
    Write(dir / "product", usb.product);
}

// The machine of these tests: two built-in ports of which one has a UART, a virtual console, an
// FTDI, a CDC-ACM board, two CH340 without serial numbers, two CP2102 with theirs and a
// two-channel FTDI.
void MakeFakePortTree(const fs::path& sys, const fs::path& dev) {
    Tty(sys, "tty1", "", "");
    fs::remove(sys / "devices" / "tty" / "tty1" / "device"); // a console: no hardware
    // ttyS0 as Linux 6.5 and later show it: the port and its controller on the serial-base bus.
    Tty(sys, "ttyS0", "pnp0/00:01/00:01:0/00:01:0.0", "serial-base/drivers/port");
    fs::create_directories(sys / "bus/serial-base/drivers/ctrl");
    fs::create_symlink("../../../../bus/serial-base/drivers/ctrl",
                       sys / "devices/pnp0/00:01/00:01:0/driver");
    fs::create_directories(sys / "bus/pnp/drivers/serial");
    fs::create_symlink("../../../bus/pnp/drivers/serial", sys / "devices/pnp0/00:01/driver");
    Write(sys / "class/tty/ttyS0/type", "4");
    Tty(sys, "ttyS1", "platform/serial8250", "platform/drivers/serial8250");
    Write(sys / "class/tty/ttyS1/type", "0");
    Tty(sys, "ttyS2", "platform/serial8250", ""); // bound like ttyS1, no type shown: no UART

    const std::string ftdi = "usb-serial/drivers/ftdi_sio", ch341 = "usb-serial/drivers/ch341-uart",
                      cp210x = "usb-serial/drivers/cp210x";
    UsbTty(sys, {"1-1", 0, "0403", "6001", "A50285BI", "FTDI", "FT232R USB UART"}, "ttyUSB0", true,
           ftdi);
    UsbTty(sys, {"1-2", 0, "2e8a", "000a", "E660583883", "Raspberry Pi", "Pico"}, "ttyACM0", false,
           "usb/drivers/cdc_acm");
    UsbTty(sys, {"1-3", 0, "1a86", "7523", "", "", "USB Serial"}, "ttyUSB1", true, ch341);
    UsbTty(sys, {"1-4", 0, "1a86", "7523", "", "", "USB Serial"}, "ttyUSB10", true, ch341);
    UsbTty(sys, {"1-5", 0, "10c4", "ea60", "0001", "Silicon Labs", "CP2102 USB to UART"}, "ttyUSB2",
           true, cp210x);
    UsbTty(sys, {"1-6", 0, "10c4", "ea60", "0002", "Silicon Labs", "CP2102 USB to UART"}, "ttyUSB5",
           true, cp210x);
    UsbTty(sys, {"1-7", 0, "0403", "6010", "FT4ZQ1", "FTDI", "Dual RS232"}, "ttyUSB3", true, ftdi);
    UsbTty(sys, {"1-7", 1, "0403", "6010", "FT4ZQ1", "FTDI", "Dual RS232"}, "ttyUSB4", true, ftdi);

    Link(dev, "by-id", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0");
    Link(dev, "by-id", "usb-Raspberry_Pi_Pico_E660583883-if00", "ttyACM0");
    // Two adapters without serial numbers get one by-id name; udev points it at the last one.
    Link(dev, "by-id", "usb-1a86_USB_Serial-if00-port0", "ttyUSB10");
    Link(dev, "by-id", "usb-Silicon_Labs_CP2102_USB_to_UART_0001-if00-port0", "ttyUSB2");
    Link(dev, "by-id", "usb-Silicon_Labs_CP2102_USB_to_UART_0002-if00-port0", "ttyUSB5");
    Link(dev, "by-id", "usb-FTDI_Dual_RS232_FT4ZQ1-if00-port0", "ttyUSB3");
    Link(dev, "by-id", "usb-FTDI_Dual_RS232_FT4ZQ1-if01-port0", "ttyUSB4");
    for (const char* tty : {"ttyUSB0", "ttyACM0", "ttyUSB1", "ttyUSB10", "ttyS0"})
        Link(dev, "by-path", std::string("pci-0000:00:14.0-") + tty, tty);
    // The device nodes, as plain files: enough for the links to lead somewhere.
    for (const char* tty : {"ttyS0", "ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3", "ttyUSB4",
                            "ttyUSB5", "ttyUSB10", "ttyACM0"})
        Write(dev / tty, "");
}

} // namespace qv::test
