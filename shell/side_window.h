#pragma once
// What the windows beside the main window share: a top-level window that refreshes its view on a
// timer only while it is visible, and whose view copies the whole selection on the copy key.

#include <QWidget>

class QTimer;

namespace qv {

class SideWindow : public QWidget {
public:
    QTimer* repaintTimer() const { return timer_; }

protected:
    explicit SideWindow(int refreshMs);
    // The copy key on `view` copies the selection (not just the current cell).
    void copyOnCopyKey(QWidget* view);
    // Brings the view up to date; runs on the timer and when the window is shown.
    virtual void refreshView() = 0;
    virtual void copySelection() = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* timer_;
    QWidget* copyView_ = nullptr;
};

} // namespace qv
