#pragma once
// A tag run: poll steps (reader/tag_poll.h) on an open link, one after another, until it is
// stopped, has seen its tags or its time, or its device went away and did not come back. Every
// read and every change of the reader's state goes to a tag sink, the one interface through which
// the window's panels and history, watch's printer, the station's tag test and the gateway's
// publisher hear of them.

#include "reader/reconnect.h"
#include "reader/tag_poll.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv::reader {

// One tag as the run read it.
struct TagRead {
    TagText tag;
    char input = 0; // the digital input state of the poll that brought the tag
};

// What happened to the reader of a run.
struct ReaderChange {
    enum class Kind {
        NotAnswering,   // polls have gone unanswered for a second, or the device went away
        AnsweringAgain, // the first poll answered after NotAnswering
        Gone,           // the port's device went away (an adapter pulled out, a server closed)
        Back,           // the port opened again after Gone
        Another,        // after Back, the identity names another reader than before
    };
    Kind kind;
    std::string serial;   // Back, Another: the serial number read after reopening, if any
    std::string previous; // Another: the serial number of the reader before
};
const char* ChangeWord(ReaderChange::Kind kind); // "not answering", "answering again", ...

class TagSink {
public:
    virtual ~TagSink() = default;
    // A tag, before the acknowledgement's pause (a sink that keeps it does so before the reader
    // is told it was taken).
    virtual void tag(const TagRead& read) = 0;
    // The input state of every poll that was answered and decoded, tags included (before tag()).
    virtual void input(char /*state*/) {}
    virtual void changed(const ReaderChange& /*change*/) {}
    // An open after Gone failed for a reason worth telling (reader/reconnect.h).
    virtual void reopenFailed(link::SerialError /*error*/, const std::string& /*detail*/) {}
};

struct TagRunPlan {
    std::optional<long> count;          // stop after this many tags
    std::optional<std::uint32_t> forMs; // stop after this long, on the link's clock
    // The outputs to pass on, asked before every poll; empty or nullopt: none.
    std::function<std::optional<Outputs>()> outputs;
    // Reopen a port whose device went away (link::Link::lineGone), at `port` and `settings`;
    // `reconnectForMs` bounds each wait (none: as long as the run goes on). Without it polls
    // simply go unanswered.
    bool reconnect = false;
    std::optional<std::uint32_t> reconnectForMs;
    int port = 1;
    std::string settings;
    // After each reopening, read the identity and tell Another when it differs from this (which
    // then takes the new serial number); empty: the first one read becomes it.
    bool identityAfterReconnect = true;
    std::string serial;
    // Runs before each poll step while the port is open: a front end's own transactions
    // (a command received meanwhile) go between two polls, which pause only for them.
    std::function<void()> betweenPolls;
};

struct TagRunResult {
    long tags = 0;
    long pollsAnswered = 0;
    bool lastPollAnswered = false;
    bool portLost = false; // the device went away and did not come back within reconnectForMs
    std::string serial;    // the serial number the run ended with (plan.serial, or as read)
};

// Runs poll steps on the open link until `stopped()`, the count or the time. `sent` holds the
// outputs last sent to the reader (a window keeps it across runs).
TagRunResult RunTags(link::Link& link, const TagRunPlan& plan, std::optional<Outputs>& sent,
                     TagSink& sink, const std::function<bool()>& stopped);

} // namespace qv::reader
