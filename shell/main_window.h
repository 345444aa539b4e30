#pragma once
// The main window Tu: every control at its designed place with its designed name, the two window
// widths, the language switch, and the slots that hand each event to the reader operations.

#include "link/protocol/link.h"
#include "operations/context.h"
#include "operations/controls.h"
#include "program/tag_history.h"
#include "program/traffic_log.h"

#include <QComboBox>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QPushButton;
class QGroupBox;

namespace qv {

namespace link {
class Link;
}
struct ProgramValues;
class Beeper;
class TrafficWindow;
class TagHistoryWindow;
class PortsWindow;

// A drop-down list that tells when its open list closes, whether or not the choice changed:
// once per opening, however the list closes (a pick, Enter, Escape, a click outside).
class CloseUpComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
    void hidePopup() override;

signals:
    void closedUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void closeUp();
    QObject* watchedList_ = nullptr;
    bool open_ = false;
};

class Tu : public QWidget {
    Q_OBJECT
public:
    Tu(link::Link& link, Beeper& beeper, ProgramValues& values, QWidget* parent = nullptr);
    ~Tu() override;

    Controls& controls() { return ui_; }
    Context& context() { return context_; }

    // Narrow width and every localised text in the active language. Runs at the first showing
    // and after each language button.
    void FormShow();

    // Client widths of the two forms, from the controls' geometry.
    int narrowWidth() const;
    int wideWidth() const;

    // The traffic log and the tag history the operations feed, and their windows (created at
    // the first showing, from the context menu, F2 and F3); the Ports window (F4).
    TrafficLog& trafficLog() { return traffic_; }
    TagHistory& tagHistory() { return tags_; }
    TrafficWindow* trafficWindow() const { return trafficWindow_.get(); }
    TagHistoryWindow* tagHistoryWindow() const { return tagHistoryWindow_.get(); }
    PortsWindow* portsWindow() const { return portsWindow_.get(); }
    // The status line's tooltip now: what it is, and after ports could not be opened, which
    // and why.
    QString statusToolTip() const;

public slots:
    // The shell's own handlers.
    void btnEngClick();
    void btnGBClick();
    void btnBIG5Click();
    void btnEntryExitClick();
    void btnExitClick();
    // The windows beside this one.
    void showTraffic();
    void showTagHistory();
    void showPorts();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void BuildAreaA();
    void BuildAreaB();
    void BuildAreaC();
    void BuildAreaD();
    void BuildAreaE();
    void BuildAreaF();
    void BuildAreaG();
    void BuildAreaH();
    void BuildAreaI();
    void BuildTimers();
    void ConnectEvents();
    void SetLanguage(int index);
    void ConnectTraffic();
    void NoteOpen(const link::TraceEvent& event);

    ProgramValues& values_;
    Controls ui_;
    Context context_;
    bool shown_ = false;
    bool closing_ = false;

    TrafficLog traffic_;
    TagHistory tags_;
    TagHistorySink historySink_{tags_};
    std::unique_ptr<TrafficWindow> trafficWindow_;
    std::unique_ptr<TagHistoryWindow> tagHistoryWindow_;
    std::unique_ptr<PortsWindow> portsWindow_;
    // Ports that could not be opened since the reader last answered: "COM3 /dev/ttyS2" and why.
    struct OpenFailure {
        std::string port;
        link::SerialError error;
        std::string detail;
    };
    std::vector<OpenFailure> openFailures_;

    // Controls that no operation touches, held for the texts and events of the window itself.
    QLabel* lblID_ = nullptr;
    QLabel* lblBaudRate_ = nullptr;
    CloseUpComboBox* cmbBaudRate_ = nullptr;
    QPushButton* btnSetRSSI_ = nullptr;
    QPushButton* btnGetRSSI_ = nullptr;
    QPushButton* btnBeepOn_ = nullptr;
    QPushButton* btnBeepOff_ = nullptr;
    QPushButton* btnGain_ = nullptr;
    QPushButton* btnSetExciterID_ = nullptr;
    QPushButton* btnGetExciterID_ = nullptr;
    QPushButton* btnReset_ = nullptr;
    QPushButton* btnEntryExit_ = nullptr;
    QGroupBox* gbEntryExit_ = nullptr;
    QGroupBox* gbRelayMode_ = nullptr;
    QGroupBox* GroupBox1_ = nullptr;
    QPushButton* btnAddr_ = nullptr;
    QPushButton* btnFreq_ = nullptr;
    QPushButton* btnChannel_ = nullptr;
};

} // namespace qv
