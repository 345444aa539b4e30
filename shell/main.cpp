// The program entry: the link on the real serial line and clock, the beeper, the window.
#include "link/protocol/link.h"
#include "link/time/system_time.h"
#include "program/beeper.h"
#include "program/program_values.h"
#include "program/settings_store.h"
#include "qv_version.h"
#include "shell/command_line.h"
#include "shell/console.h"
#include "shell/main_window.h"
#include "shell/startup.h"

#include <QApplication>
#include <QIcon>

#include <iostream>

int main(int argc, char* argv[]) {
    // Before Qt: --help and --version answer without a display.
    const qv::CommandLine command = qv::ReadCommandLine({argv + 1, argv + argc});
    if (command.action != qv::CommandLine::Action::Run)
        qv::UseParentConsole();
    switch (command.action) {
    case qv::CommandLine::Action::Help:
        std::cout << qv::CommandLineHelp();
        return 0;
    case qv::CommandLine::Action::Version:
        std::cout << "quorvane-tools " << qv::ProgramVersion << '\n';
        return 0;
    case qv::CommandLine::Action::Refuse:
        std::cerr << "quorvane-tools: " << command.error << " (try --help)\n";
        return 2;
    case qv::CommandLine::Action::Run:
        break;
    }

    QApplication app(argc, argv);
    // The display name stays unset: on X11 Qt would append it to every window caption.
    QApplication::setApplicationName(QStringLiteral("Quorvane Tools"));
    QApplication::setApplicationVersion(QString::fromLatin1(qv::ProgramVersion));
    // Ties the window to the installed desktop entry (Wayland takes the icon from there).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velmora.QuorvaneTools"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
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
