#pragma once
// A beeper for window tests: records every tone and, at the moment of the beep, the link lamp's
// colour, the status text and whether the window was enabled, so that tests can check the order
// "lamp, text, beep, then window enabled".

#include "operations/controls.h"
#include "program/beeper.h"
#include "program/lamp.h"

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <vector>

namespace qv::test {

struct Beep {
    int frequencyHz;
    int durationMs;
    QColor lamp;        // shComm's colour when the beep sounded
    QString status;     // pnMsg's text when the beep sounded
    bool windowEnabled; // the window's enabled state when the beep sounded
};

class RecordingBeeper : public Beeper {
public:
    const Controls* ui = nullptr; // set once the window exists
    std::vector<Beep> beeps;

    void beep(int frequencyHz, int durationMs) override {
        Beep b{frequencyHz, durationMs, {}, {}, false};
        if (ui) {
            b.lamp = ui->shComm ? ui->shComm->color() : QColor();
            b.status = ui->pnMsg ? ui->pnMsg->text() : QString();
            b.windowEnabled = ui->window && ui->window->isEnabled();
        }
        beeps.push_back(b);
    }
};

} // namespace qv::test
