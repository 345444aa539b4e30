#include "link/transport/serial_win32.h"

#include "link/time/system_time_win32.h"

namespace qv::link {

const char* NoPermissionText() {
    return "no permission (the port's driver refused this user)";
}

namespace {

DWORD Result(BOOL ok) {
    return ok ? ERROR_SUCCESS : GetLastError();
}

class SystemCalls : public Win32Calls {
public:
    DWORD createFile(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                     HANDLE& handle) override {
        handle = CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
        return handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    void closeHandle(HANDLE handle) override { CloseHandle(handle); }
    DWORD getCommState(HANDLE handle, DCB& dcb) override {
        dcb.DCBlength = sizeof dcb;
        return Result(GetCommState(handle, &dcb));
    }
    DWORD setCommState(HANDLE handle, const DCB& dcb) override {
        DCB copy = dcb;
        return Result(SetCommState(handle, &copy));
    }
    DWORD getCommTimeouts(HANDLE handle, COMMTIMEOUTS& timeouts) override {
        return Result(GetCommTimeouts(handle, &timeouts));
    }
    DWORD setCommTimeouts(HANDLE handle, const COMMTIMEOUTS& timeouts) override {
        COMMTIMEOUTS copy = timeouts;
        return Result(SetCommTimeouts(handle, &copy));
    }
    DWORD readFile(HANDLE handle, void* data, DWORD count, DWORD& done) override {
        done = 0;
        return Result(ReadFile(handle, data, count, &done, nullptr));
    }
    DWORD writeFile(HANDLE handle, const void* data, DWORD count, DWORD& done) override {
        done = 0;
        return Result(WriteFile(handle, data, count, &done, nullptr));
    }
    DWORD purgeComm(HANDLE handle, DWORD flags) override {
        return Result(PurgeComm(handle, flags));
    }
    void beginFineTimer() override { BeginFineTimer(); }
    void endFineTimer() override { EndFineTimer(); }
    std::int64_t nowUs() override { return SystemMicroTimer().nowUs(); }
    void sleepUs(std::int64_t us) override { SystemMicroTimer().sleepUs(us); }
};

BYTE ParityOf(char parity) {
    switch (parity) {
    case 'e':
        return EVENPARITY;
    case 'o':
        return ODDPARITY;
    default:
        return NOPARITY;
    }
}

} // namespace

Win32Calls& SystemWin32Calls() {
    static SystemCalls calls;
    return calls;
}

SerialError TranslateWin32Error(DWORD code) {
    switch (code) {
    case ERROR_SUCCESS:
        return SerialError::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
        return SerialError::NoDevice;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
        return SerialError::InUse;
    case ERROR_PRIVILEGE_NOT_HELD:
        return SerialError::AccessDenied;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_SUPPORTED:
    case ERROR_DIRECTORY:
        return SerialError::NotCharacterDevice;
    default:
        return SerialError::Other;
    }
}

bool Win32LineGone(DWORD code) {
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_GEN_FAILURE:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_HANDLE:
        return true;
    default:
        return false;
    }
}

DCB BuildDcb(const DCB& base, const LineSettings& settings) {
    DCB dcb = base;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = settings.baud;
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = ParityOf(settings.parity);
    dcb.fParity = dcb.Parity != NOPARITY;
    dcb.StopBits = settings.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE; // else every read fails after one framing error until cleared
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE)
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fRtsControl == RTS_CONTROL_TOGGLE)
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    return dcb;
}

COMMTIMEOUTS WorkingTimeouts() {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 0;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 1;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 0;
    return t;
}

Win32SerialDevice::~Win32SerialDevice() {
    close();
}

bool Win32SerialDevice::fail(SerialError error) {
    error_ = error;
    return false;
}

bool Win32SerialDevice::open(const std::string& path, const LineSettings& settings) {
    if (isOpen())
        return fail(SerialError::AlreadyOpen);
    HANDLE handle = INVALID_HANDLE_VALUE;
    const DWORD opened =
        calls_.createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0, handle);
    if (opened != ERROR_SUCCESS)
        return fail(TranslateWin32Error(opened));
    auto giveUp = [&](SerialError error) {
        calls_.closeHandle(handle);
        return fail(error);
    };
    DCB current{};
    current.DCBlength = sizeof current;
    COMMTIMEOUTS saved{};
    if (calls_.getCommState(handle, current) != ERROR_SUCCESS ||
        calls_.getCommTimeouts(handle, saved) != ERROR_SUCCESS)
        return giveUp(SerialError::NotCharacterDevice);

    ApplyWithParityFallback(settings, [&](const LineSettings& s) {
        return calls_.setCommState(handle, BuildDcb(current, s)) == ERROR_SUCCESS;
    });
    // Without the 1 ms read timeout a read would block until a byte came: that is no usable port.
    if (const DWORD set = calls_.setCommTimeouts(handle, WorkingTimeouts()); set != ERROR_SUCCESS)
        return giveUp(TranslateWin32Error(set));
    calls_.beginFineTimer();
    handle_ = handle;
    gone_ = false;
    saved_ = saved;
    error_ = SerialError::None;
    return true;
}

void Win32SerialDevice::close() {
    if (!isOpen())
        return;
    calls_.setCommTimeouts(handle_, saved_);
    calls_.closeHandle(handle_);
    calls_.endFineTimer();
    handle_ = INVALID_HANDLE_VALUE;
    gone_ = false;
}

void Win32SerialDevice::write(const std::uint8_t* data, std::size_t count) {
    std::size_t done = 0;
    while (isOpen() && done < count) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(count - done);
        const DWORD failed = calls_.writeFile(handle_, data + done, chunk, written);
        gone_ = gone_ || Win32LineGone(failed);
        if (failed != ERROR_SUCCESS || written == 0)
            return; // a failed line: the missing reply will tell
        done += written;
    }
}

std::optional<std::uint8_t> Win32SerialDevice::readByte() {
    const std::int64_t start = calls_.nowUs();
    std::uint8_t byte = 0;
    DWORD got = 0;
    if (isOpen()) {
        const DWORD failed = calls_.readFile(handle_, &byte, 1, got);
        if (failed == ERROR_SUCCESS && got == 1)
            return byte;
        gone_ = gone_ || Win32LineGone(failed);
    }
    // A time-out has taken its millisecond already; a failed read or a driver that returns at
    // once has not.
    WaitOutRead(calls_, start);
    return std::nullopt;
}

void Win32SerialDevice::purge() {
    if (isOpen())
        calls_.purgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

std::unique_ptr<SerialDevice> MakeLocalSerialDevice() {
    return std::make_unique<Win32SerialDevice>();
}

} // namespace qv::link
