#pragma once
// The main window Tu: every control at its designed place with its designed name, the two window
// widths, the language switch, and the slots that hand each event to the reader operations.

#include "operations/context.h"
#include "operations/controls.h"
#include "operations/handlers.h"

#include <QComboBox>
#include <QWidget>

class QPushButton;
class QGroupBox;

namespace qv {

namespace link {
class Link;
}
struct ProgramValues;
class Beeper;

// A drop-down list that tells when its open list closes, whether or not the choice changed.
class CloseUpComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void hidePopup() override;

signals:
    void closedUp();
};

class Tu : public QWidget {
    Q_OBJECT
public:
    Tu(link::Link& link, Beeper& beeper, ProgramValues& values, QWidget* parent = nullptr);

    Controls& controls() { return ui_; }
    Context& context() { return context_; }

    // Narrow width and every localised text in the active language. Runs at the first showing
    // and after each language button.
    void FormShow();

    // Client widths of the two forms, from the controls' geometry.
    int narrowWidth() const;
    int wideWidth() const;

public slots:
    void btnScanClick() { ops::btnScanClick(context_); }
    void btnReadCardClick() { ops::btnReadCardClick(context_); }
    void btnIDClick() { ops::btnIDClick(context_); }
    void btnBaudRateClick() { ops::btnBaudRateClick(context_); }
    void btnFactoryClick() { ops::btnFactoryClick(context_); }
    void btnResetClick() { ops::btnResetClick(context_); }
    void btnSameCardClick() { ops::btnSameCardClick(context_); }
    void btnSameCard2Click() { ops::btnSameCard2Click(context_); }
    void btnGetSameCardClick() { ops::btnGetSameCardClick(context_); }
    void btnGetSameCard2Click() { ops::btnGetSameCard2Click(context_); }
    void btnNoNcClick() { ops::btnNoNcClick(context_); }
    void btnGetNoNcClick() { ops::btnGetNoNcClick(context_); }
    void btnModeClick() { ops::btnModeClick(context_); }
    void btnGetModeClick() { ops::btnGetModeClick(context_); }
    void btnSerID2Click() { ops::btnSerID2Click(context_); }
    void btnGetID2Click() { ops::btnGetID2Click(context_); }
    void btnSetRSSIClick() { ops::btnSetRSSIClick(context_); }
    void btnGetRSSIClick() { ops::btnGetRSSIClick(context_); }
    void btnBeepOnClick() { ops::btnBeepOnClick(context_); }
    void btnBeepOffClick() { ops::btnBeepOffClick(context_); }
    void btnGainClick() { ops::btnGainClick(context_); }
    void btnSetExciterIDClick() { ops::btnSetExciterIDClick(context_); }
    void btnGetExciterIDClick() { ops::btnGetExciterIDClick(context_); }
    void btnAddrClick() { ops::btnAddrClick(context_); }
    void btnFreqClick() { ops::btnFreqClick(context_); }
    void btnChannelClick() { ops::btnChannelClick(context_); }
    void btnSetRLClick() { ops::btnSetRLClick(context_); }
    void btnGetRLClick() { ops::btnGetRLClick(context_); }

    void sbIDChange() { ops::sbIDChange(context_); }
    void sbSameCardChange() { ops::sbSameCardChange(context_); }
    void sbSameCard2Change() { ops::sbSameCard2Change(context_); }
    void sbID2Change() { ops::sbID2Change(context_); }
    void sbRSSIChange() { ops::sbRSSIChange(context_); }
    void sbGainLevelChange() { ops::sbGainLevelChange(context_); }
    void sbExciterID1Change() { ops::sbExciterID1Change(context_); }
    void sbExciterID2Change() { ops::sbExciterID2Change(context_); }
    void sbAddrChange() { ops::sbAddrChange(context_); }
    void sbFreqChange() { ops::sbFreqChange(context_); }
    void sbChannelChange() { ops::sbChannelChange(context_); }
    void sbRL1Change() { ops::sbRL1Change(context_); }
    void sbRL2Change() { ops::sbRL2Change(context_); }

    void cmbBaudRateCloseUp() { ops::cmbBaudRateCloseUp(context_); }
    void tmrBusyTimer() { ops::tmrBusyTimer(context_); }
    void tmrCardTimer() { ops::tmrCardTimer(context_); }

    // The shell's own handlers.
    void btnEngClick();
    void btnGBClick();
    void btnBIG5Click();
    void btnEntryExitClick();
    void btnExitClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

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
    void SetLanguage(int index, const char* name);

    ProgramValues& values_;
    Controls ui_;
    Context context_;
    bool shown_ = false;
    bool closing_ = false;

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

// The program's one main window, set by the program entry.
extern Tu* u;

} // namespace qv
