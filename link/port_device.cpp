// The device behind every port name: a port URL opens the network device, anything else the
// platform's serial device.
#include "link/network_device.h"

namespace qv::link {

std::unique_ptr<SerialDevice> MakeLocalSerialDevice(); // serial_posix.cpp or serial_win32.cpp

namespace {

class PortDevice : public SerialDevice {
public:
    bool open(const std::string& path, const LineSettings& settings) override {
        if (open_) { // one line at a time, whichever kind holds it
            error_ = SerialError::AlreadyOpen;
            return false;
        }
        current_ = IsPortUrl(path) ? static_cast<SerialDevice*>(&network_) : local_.get();
        open_ = current_->open(path, settings);
        error_ = current_->lastError();
        return open_;
    }
    void close() override {
        if (open_)
            current_->close();
        open_ = false;
    }
    void write(const std::uint8_t* data, std::size_t count) override {
        if (current_)
            current_->write(data, count);
    }
    std::optional<std::uint8_t> readByte() override {
        return (current_ ? current_ : local_.get())->readByte();
    }
    void purge() override {
        if (current_)
            current_->purge();
    }
    SerialError lastError() const override { return error_; }
    std::string settingsNote() const override { return current_ ? current_->settingsNote() : ""; }

private:
    std::unique_ptr<SerialDevice> local_ = MakeLocalSerialDevice();
    NetworkSerialDevice network_;
    SerialDevice* current_ = nullptr;
    bool open_ = false;
    SerialError error_ = SerialError::None;
};

} // namespace

std::unique_ptr<SerialDevice> MakePlatformSerialDevice() {
    return std::make_unique<PortDevice>();
}

} // namespace qv::link
