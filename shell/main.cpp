// The program entry: the link on the real serial line and clock, the beeper, the window.
#include "link/link.h"
#include "link/system_time.h"
#include "program/beeper.h"
#include "program/program_values.h"
#include "program/settings_store.h"
#include "shell/main_window.h"
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

        const std::unique_ptr<qv::Beeper> beeper = qv::MakePlatformBeeper();
        qv::ProgramValues values;
        qv::Tu u(link, *beeper, values); // the program's one main window
        u.show();
        return QApplication::exec();
    });
}
