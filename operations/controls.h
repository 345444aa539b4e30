#pragma once
// What the reader operations see of the main window: its controls by their designed names.
// The window (shell/) builds the widgets and fills this in; tests may fill it from bare widgets.

class QWidget;
class QLabel;
class QScrollBar;
class QComboBox;
class QCheckBox;
class QRadioButton;
class QPushButton;
class QGroupBox;
class QTimer;

namespace qv {

class Lamp;

struct Controls {
    QWidget* window = nullptr; // enabled and disabled as a whole

    // Area A
    QLabel* pnMsg = nullptr;
    Lamp* shComm = nullptr;
    QLabel* pnSerial = nullptr;
    QLabel* pnVersion = nullptr;
    QPushButton* btnScan = nullptr;
    // Area B
    QLabel* pnID = nullptr;
    QScrollBar* sbID = nullptr;
    QPushButton* btnID = nullptr;
    QComboBox* cmbBaudRate = nullptr;
    QCheckBox* chkLock = nullptr;
    QPushButton* btnBaudRate = nullptr;
    // Area C
    QLabel* pnSameCard = nullptr;
    QScrollBar* sbSameCard = nullptr;
    QRadioButton* rbNO = nullptr;
    QRadioButton* rbNC = nullptr;
    QPushButton* btnSameCard = nullptr;
    QPushButton* btnGetSameCard = nullptr;
    QPushButton* btnNoNc = nullptr;
    QPushButton* btnGetNoNc = nullptr;
    QComboBox* cmbWiegand = nullptr;
    QComboBox* cmbRS485 = nullptr;
    QPushButton* btnMode = nullptr;
    QPushButton* btnGetMode = nullptr;
    // Area D
    Lamp* shCard = nullptr;
    QLabel* pnDI = nullptr;
    QLabel* pnCardID = nullptr;
    QCheckBox* chkDO1 = nullptr;
    QCheckBox* chkDO2 = nullptr;
    QPushButton* btnReadCard = nullptr;
    // Area E
    QGroupBox* gbDefault = nullptr;
    QLabel* pnRSSI = nullptr;
    QScrollBar* sbRSSI = nullptr;
    QLabel* pnGain = nullptr;
    QScrollBar* sbGainLevel = nullptr;
    QLabel* pnExciterID1 = nullptr;
    QScrollBar* sbExciterID1 = nullptr;
    QLabel* pnExciterID2 = nullptr;
    QScrollBar* sbExciterID2 = nullptr;
    QPushButton* btnFactory = nullptr;
    // Area F
    QPushButton* btnEng = nullptr;
    QPushButton* btnGB = nullptr;
    QPushButton* btnBIG5 = nullptr;
    QPushButton* btnExit = nullptr;
    // Area G
    QLabel* pnID2 = nullptr;
    QScrollBar* sbID2 = nullptr;
    QPushButton* btnSerID2 = nullptr;
    QPushButton* btnGetID2 = nullptr;
    QLabel* pnSameCard2 = nullptr;
    QScrollBar* sbSameCard2 = nullptr;
    QPushButton* btnSameCard2 = nullptr;
    QPushButton* btnGetSameCard2 = nullptr;
    // Area H
    QCheckBox* chkRL1En = nullptr;
    QCheckBox* chkRL1Key = nullptr;
    QCheckBox* chkRL1Mo = nullptr;
    QLabel* pnRL1 = nullptr;
    QScrollBar* sbRL1 = nullptr;
    QCheckBox* chkRL2En = nullptr;
    QCheckBox* chkRL2Key = nullptr;
    QCheckBox* chkRL2Mo = nullptr;
    QLabel* pnRL2 = nullptr;
    QScrollBar* sbRL2 = nullptr;
    QPushButton* btnSetRL = nullptr;
    QPushButton* btnGetRL = nullptr;
    // Area I
    QLabel* pnAddr = nullptr;
    QScrollBar* sbAddr = nullptr;
    QLabel* pnFreq = nullptr;
    QScrollBar* sbFreq = nullptr;
    QLabel* pnChannel = nullptr;
    QScrollBar* sbChannel = nullptr;

    // Timers
    QTimer* tmrBusy = nullptr; // 200 ms; blink phase in its "tag" property (0 or 1)
    QTimer* tmrCard = nullptr; // 1000 ms
};

} // namespace qv
