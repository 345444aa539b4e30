#pragma once
// The serial line on POSIX systems (Linux): a termios device opened exclusively, read one byte
// at a time with a 1 ms wait (from what one read() of the driver brought, so that a reply costs
// a system call or two rather than two per byte). The Windows device sits beside this file
// (serial_win32.h).

#include "link/transport/serial_device.h"

#include <array>
#include <cstddef>
#include <termios.h>

namespace qv::link {

// The working termios record for `settings`, built on `base`: raw mode, no flow control, the
// baud rate (left as in `base` when the platform has no such rate), parity, data and stop bits,
// CLOCAL|CREAD, VMIN=0 and VTIME=0. Modem control (HUPCL) is left as it was. Pure.
termios BuildTermios(const termios& base, const LineSettings& settings);

// The link's reason for an errno value: the one place where they are translated.
SerialError TranslatePosixError(int errnum);

class PosixSerialDevice : public SerialDevice {
public:
    PosixSerialDevice() = default;
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    // Opens only an existing character device that is a terminal, with O_NOCTTY|O_NONBLOCK, an
    // exclusive flock and TIOCEXCL. Saves VMIN/VTIME and applies BuildTermios (by
    // ApplyWithParityFallback: a pseudo-terminal may refuse parity); whether the device then
    // holds the line settings is not examined. False while a
    // line is already open here (that line stays untouched) and on any failure, which leaves
    // nothing open; lastError() says why.
    bool open(const std::string& path, const LineSettings& settings) override;
    // Restores the saved VMIN/VTIME only (the line settings stay), drops the exclusive mode and
    // the lock, closes. Does nothing when nothing is open.
    void close() override;
    // Blocks until every byte is handed to the driver, or the line hangs up or fails.
    void write(const std::uint8_t* data, std::size_t count) override;
    // Waits up to 1 ms for one byte. After a hang-up or an error the rest of the millisecond is
    // slept out, so a vanished device never turns a reply wait into a busy loop.
    std::optional<std::uint8_t> readByte() override;
    // tcflush(TCIOFLUSH), and what was read from the driver but not yet handed out.
    void purge() override;

    bool isOpen() const { return fd_ >= 0; }
    SerialError lastError() const override { return error_; }
    // Set by a hang-up or error seen by poll, end of file, or EIO, ENXIO or ENODEV from a read or
    // write; cleared by open and close.
    bool gone() const override { return fd_ >= 0 && gone_; }

private:
    bool fail(int errnum);

    int fd_ = -1;
    bool gone_ = false;
    std::array<std::uint8_t, 256> received_{}; // what the last read() brought
    std::size_t next_ = 0, end_ = 0;           // received_[next_, end_) is still to hand out
    cc_t savedVmin_ = 0;
    cc_t savedVtime_ = 0;
    SerialError error_ = SerialError::None;
};

} // namespace qv::link
