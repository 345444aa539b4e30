#pragma once
// Puts a simulated reader behind a pseudo-terminal. The program under test opens the slave side as
// if it were a serial port; the host reads the master side, feeds the reader and writes its replies
// back when they are due. It answers only while the baud rate that the slave's user set matches the
// reader's line setting. Parity cannot be seen through a pseudo-terminal, so it is not compared.

#include "sim/reader.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv::sim {

// The baud rate of a "19200,e,8,1" line setting of link::SettingsList; 0 for a bad index.
std::uint32_t SettingsBaud(int settingsIndex);

class PtyHost {
public:
    explicit PtyHost(Reader& reader) : reader_(reader) {}
    ~PtyHost();
    PtyHost(const PtyHost&) = delete;
    PtyHost& operator=(const PtyHost&) = delete;

    // Keep our own descriptor of the slave open, so that the pseudo-terminal survives while the
    // program closes its port between operations. Must be chosen before open().
    void setHoldSlave(bool hold) { holdSlave_ = hold; }

    // Creates the pseudo-terminal (raw mode). False with `error` set when that fails.
    bool open(std::string* error = nullptr);
    const std::string& slavePath() const { return slavePath_; }

    // Serves until `stop` is set or `wakeFd` (if not -1) becomes readable.
    void serve(const std::atomic<bool>& stop, int wakeFd = -1);
    // One round: waits at most `timeoutMs` for bytes from the line, answers what they ask for and
    // sends every reply whose time has come.
    void step(int timeoutMs);

    // The baud rate the slave is set to at the moment (0 when it cannot be read).
    std::uint32_t lineBaud() const;
    bool lineMatches() const { return lineBaud() == SettingsBaud(reader_.state().settingsIndex); }
    // The reader hung up and the pseudo-terminal is gone.
    bool hungUp() const { return master_ < 0 && opened_; }

    // Called for each command frame that checked out, and for bytes dropped at the wrong speed.
    std::function<void(const std::string& text)> onLog;
    std::uint64_t droppedBytes() const { return dropped_; }

private:
    struct Pending {
        std::chrono::steady_clock::time_point due; // to the microsecond: the reply delay is exact
        std::string bytes;
    };
    static std::uint32_t nowMs();
    void readLine();
    void sendDue();
    void hangUp();

    Reader& reader_;
    bool holdSlave_ = true;
    bool opened_ = false;
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::vector<Pending> pending_;
    std::size_t logged_ = 0;
    std::uint64_t dropped_ = 0;
    std::optional<std::uint32_t> hangUpAtMs_;
};

} // namespace qv::sim
