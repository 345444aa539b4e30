#pragma once
// The serial line on Windows: a COM device opened exclusively, read one byte at a time with a
// 1 ms read timeout. The POSIX device sits beside this file (serial_posix.h), not inside it.

#include "link/transport/read_wait.h"
#include "link/transport/serial_device.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>

namespace qv::link {

// The Win32 calls the device makes, behind one interface so that a test can stand in for the
// system (Wine, for one, never refuses a second opener). Each call that can fail returns the
// system's error code, ERROR_SUCCESS when it worked. The timer is for the empty read's millisecond.
class Win32Calls : public MicroTimer {
public:
    virtual ~Win32Calls() = default;
    // CreateFileA(path, access, share, nullptr, disposition, flags, nullptr).
    virtual DWORD createFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                             DWORD flags, HANDLE& handle) = 0;
    virtual void closeHandle(HANDLE handle) = 0;
    virtual DWORD getCommState(HANDLE handle, DCB& dcb) = 0;
    virtual DWORD setCommState(HANDLE handle, const DCB& dcb) = 0;
    virtual DWORD getCommTimeouts(HANDLE handle, COMMTIMEOUTS& timeouts) = 0;
    virtual DWORD setCommTimeouts(HANDLE handle, const COMMTIMEOUTS& timeouts) = 0;
    virtual DWORD readFile(HANDLE handle, void* data, DWORD count, DWORD& done) = 0;
    virtual DWORD writeFile(HANDLE handle, const void* data, DWORD count, DWORD& done) = 0;
    virtual DWORD purgeComm(HANDLE handle, DWORD flags) = 0;
    // The 1 ms system timer while a port is open (timeBeginPeriod(1) / timeEndPeriod(1)), so that
    // the link's 1 ms pauses are not 15.6 ms ones.
    virtual void beginFineTimer() = 0;
    virtual void endFineTimer() = 0;
};

// The real system.
Win32Calls& SystemWin32Calls();

// The link's reason for a Win32 error code: the one place where they are translated.
// ERROR_ACCESS_DENIED is "in use": Windows gives it to the second opener of a COM port.
SerialError TranslateWin32Error(DWORD code);
// True for a read or write error of an open port that means the device went away (a USB adapter
// pulled out: access denied, bad command, device not connected and their kin).
bool Win32LineGone(DWORD code);

// The working DCB for `settings`, built on `base`: baud rate, data bits, parity (checked on
// input when on), stop bits, binary mode, no flow control of any kind (no XON/XOFF, no CTS or
// DSR output flow, no DSR sensitivity); no error abort, no NUL stripping, no error character.
// DTR and RTS keep their state; only a handshake mode, which is flow control, becomes "on". Pure.
DCB BuildDcb(const DCB& base, const LineSettings& settings);

// The read and write timeouts while the port is open: a read of one byte returns after about
// 1 ms when nothing arrives; writes wait until handed over.
COMMTIMEOUTS WorkingTimeouts();

class Win32SerialDevice : public SerialDevice {
public:
    explicit Win32SerialDevice(Win32Calls& calls = SystemWin32Calls()) : calls_(calls) {}
    ~Win32SerialDevice() override;
    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    // Opens `path` (such as \\.\COM3) for reading and writing, share mode 0, no overlapped I/O.
    // The handle must answer GetCommState, else it is no serial port (Wine opens a COM number
    // mapped to a missing path and fails only later). Saves the COMMTIMEOUTS, applies BuildDcb
    // (by ApplyWithParityFallback: a pseudo-terminal behind Wine drops parity) and WorkingTimeouts,
    // and raises the timer resolution. False while a line is already open here (that line stays
    // untouched) and on any failure, which leaves nothing open and the timer as it was; lastError()
    // says why.
    bool open(const std::string& path, const LineSettings& settings) override;
    // Restores the saved COMMTIMEOUTS only (the line settings stay), lowers the timer resolution
    // again, closes. Does nothing when nothing is open.
    void close() override;
    // Blocks until every byte is handed over or the write fails.
    void write(const std::uint8_t* data, std::size_t count) override;
    // One byte, or nothing after about 1 ms. A failed read (a USB adapter pulled out) sleeps out
    // the rest of the millisecond, so a vanished device never turns a reply wait into a busy loop.
    std::optional<std::uint8_t> readByte() override;
    // PurgeComm with both aborts and both clears.
    void purge() override;

    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    SerialError lastError() const override { return error_; }
    // Set by a read or write that failed with Win32LineGone; cleared by close.
    bool gone() const override { return isOpen() && gone_; }

private:
    bool fail(SerialError error);

    Win32Calls& calls_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool gone_ = false;
    COMMTIMEOUTS saved_{};
    SerialError error_ = SerialError::None;
};

} // namespace qv::link
