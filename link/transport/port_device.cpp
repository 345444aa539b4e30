// The device behind every port name: a port URL opens the network device, a USB selector the
// port that the list shows for it now, anything else the platform's serial device.
#include "link/transport/network_device.h"

namespace qv::link {

std::unique_ptr<SerialDevice> MakeLocalSerialDevice(); // serial_posix.cpp or serial_win32.cpp

namespace {

class PortDevice : public SerialDevice {
public:
    explicit PortDevice(PortLister listPorts) : listPorts_(std::move(listPorts)) {}

    bool open(const std::string& path, const LineSettings& settings) override {
        detail_.clear();
        if (open_) { // one line at a time, whichever kind holds it
            error_ = SerialError::AlreadyOpen;
            return false;
        }
        std::string device = path;
        // Resolved at every open: the adapter may have come back under another name.
        if (IsUsbSelector(path)) {
            const PortSelection chosen = SelectUsbPort(path, listPorts_());
            if (!chosen.port) {
                error_ = chosen.absent ? SerialError::NoDevice : SerialError::Other;
                detail_ = chosen.error;
                return false;
            }
            device = chosen.port->device;
        }
        current_ = IsPortUrl(device) ? static_cast<SerialDevice*>(&network_) : local_.get();
        open_ = current_->open(device, settings);
        error_ = current_->lastError();
        if (!open_)
            detail_ = device != path ? "the adapter is " + device : current_->lastErrorDetail();
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
    std::string lastErrorDetail() const override { return detail_; }
    bool gone() const override { return open_ && current_->gone(); }
    std::string settingsNote() const override { return current_ ? current_->settingsNote() : ""; }
    bool appliesLineSettings() const override {
        return !current_ || current_->appliesLineSettings();
    }

private:
    PortLister listPorts_;
    std::unique_ptr<SerialDevice> local_ = MakeLocalSerialDevice();
    NetworkSerialDevice network_;
    SerialDevice* current_ = nullptr;
    bool open_ = false;
    SerialError error_ = SerialError::None;
    std::string detail_;
};

} // namespace

std::unique_ptr<SerialDevice> MakePlatformSerialDevice(PortLister listPorts) {
    return std::make_unique<PortDevice>(std::move(listPorts));
}

} // namespace qv::link
