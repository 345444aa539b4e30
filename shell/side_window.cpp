#include "shell/side_window.h"

#include <QKeyEvent>
#include <QTimer>

namespace qv {

SideWindow::SideWindow(int refreshMs) : QWidget(nullptr, Qt::Window), timer_(new QTimer(this)) {
    timer_->setInterval(refreshMs);
    connect(timer_, &QTimer::timeout, this, [this] { refreshView(); });
}

void SideWindow::copyOnCopyKey(QWidget* view) {
    copyView_ = view;
    view->installEventFilter(this);
}

bool SideWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == copyView_ &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        if (event->type() == QEvent::KeyPress)
            copySelection();
        event->accept();
        return event->type() == QEvent::KeyPress;
    }
    return QWidget::eventFilter(watched, event);
}

void SideWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshView();
    timer_->start();
}

void SideWindow::hideEvent(QHideEvent* event) {
    timer_->stop();
    QWidget::hideEvent(event);
}

} // namespace qv
