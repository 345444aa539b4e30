#include "shell/startup.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

namespace qv {

int RunGuarded(const std::function<int()>& run) {
    try {
        return run();
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                        QString::fromLocal8Bit(e.what()), QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText); // an error text is never markup
        box.exec();
        return 1;
    }
}

} // namespace qv
