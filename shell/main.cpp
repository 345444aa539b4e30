// The program entry: the link on the real serial line and clock, the ALSA beeper, the window.
#include "link/link.h"
#include "link/system_time.h"
#include "shell/beeper.h"
#include "shell/main_window.h"
#include "shell/program_values.h"
#include "shell/settings_store.h"
#include "shell/startup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The display name stays unset: on X11 Qt would append it to every window caption.
    QApplication::setApplicationName(QStringLiteral("Quorvane Tools"));
    return qv::RunGuarded([] {
        const std::unique_ptr<qv::link::SerialDevice> device = qv::link::MakePlatformSerialDevice();
        qv::link::SteadyClock clock;
        qv::link::ThreadSleeper sleeper;
        qv::link::Link link(*device, clock, sleeper);
        link.setEventPump([] { QCoreApplication::processEvents(); });
        link.setPortMapSource(&qv::ReadPortMap);

        const std::unique_ptr<qv::Beeper> beeper = qv::MakeAlsaBeeper();
        qv::ProgramValues values;
        qv::Tu window(link, *beeper, values);
        qv::u = &window;
        // Cleared before the window goes, however the loop ends.
        const struct ClearWindow {
            ~ClearWindow() { qv::u = nullptr; }
        } clear;
        window.show();
        return QApplication::exec();
    });
}
