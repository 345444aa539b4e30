#include "shell/main_window.h"

#include "shell/designed_controls.h"
#include "shell/ports_window.h"
#include "shell/tag_history_window.h"
#include "shell/tooltips.h"
#include "shell/traffic_window.h"

#include "operations/bindings.h"
#include "operations/handlers.h"

#include "link/protocol/commands.h"
#include "program/lamp.h"
#include "program/messages.h"
#include "program/program_values.h"
#include "program/settings_store.h"
#include "reader/parameters.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <tuple>
#include <vector>

namespace qv {

using namespace design;

void CloseUpComboBox::showPopup() {
    QComboBox::showPopup();
    // The list's window exists from the first opening on. Qt 6.4 closes it through hidePopup()
    // on every path; Qt 6.8 closes it on Escape without calling hidePopup() while it is still
    // visible. Its own hiding is seen on both.
    QObject* list = view()->window();
    if (list != this && list != watchedList_) {
        list->installEventFilter(this);
        watchedList_ = list;
    }
    open_ = view()->isVisible();
}

void CloseUpComboBox::hidePopup() {
    QComboBox::hidePopup();
    closeUp();
}

bool CloseUpComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedList_ && event->type() == QEvent::Hide)
        closeUp();
    return QComboBox::eventFilter(watched, event);
}

void CloseUpComboBox::closeUp() {
    // QComboBox also calls hidePopup() when the list was not open (the window closing, for one),
    // and a closing list may pass both ways: only an opened list closes up, and once.
    if (!open_)
        return;
    open_ = false;
    emit closedUp();
}

namespace {

using reader::Param;

// A scroll bar whose range is the bounds of the parameter its binding names (a radio register's
// otherwise).
QScrollBar* ParamBar(QWidget* parent, const char* name, QRect geometry, int tab, int position) {
    const ops::BarBinding* bar = ops::FindBar(name);
    const reader::Bounds bounds =
        bar && bar->param ? reader::RowOf(*bar->param).bounds : ops::kRegisterBounds;
    return ScrollBar(parent, name, geometry, tab, bounds.low, bounds.high, position);
}

QStringList Names(const std::vector<std::string_view>& names) {
    QStringList list;
    for (const std::string_view name : names)
        list << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return list;
}

// The designed client area; the height never changes.
constexpr int kDesignWidth = 952;
constexpr int kDesignHeight = 527;

// The designed widths are outer widths: the right edge of a control plus 12 pixels, which is
// the control's gap to the frame (4 px) plus the fixed single frame on both sides (2 x 4 px).
// Qt sizes the client area and the window manager adds its own frame, so the client width is
// the outer width less those 8 frame pixels: 653 narrow, 949 wide. That cuts at the same
// control edges as the designed window: narrow, the middle column (ending at 649) is whole and
// the right column (starting at 656) is gone; wide, the right column (ending at 945) is whole
// and GroupBox1 (starting at 960) is gone.
constexpr int kOuterMargin = 12;
constexpr int kFramePixels = 8;

// The longest lines the status panel shows in any language: every status message, and those
// with the longest additions the operations put behind them (port 16, the widest settings text,
// a tag identifier of the widest digits).
QStringList LongestStatusLines() {
    QStringList lines;
    for (int language = 0; language < kLanguageCount; ++language) {
        const auto m = [language](int k) { return Msg(k, language); };
        // The designed rows and the program's own status message; the added rows that only
        // tooltips and the other windows show are no status lines.
        for (int k = 0; k < kDesignedMessageCount; ++k)
            lines << m(k);
        lines << m(msg::ReaderNotAnswering);
        const QString last = QString::number(link::kLastComPort);
        lines << m(msg::GetReaderInfoOk) + " : #" + last + ")"
              << m(msg::GetReaderInfoError) + " : #" + last + ")" << m(msg::ScanCom) + " : #" + last
              << m(msg::OpenCom) + " : " + last + " " + m(msg::Error)
              << m(msg::SetReaderBaudRate) + " = 115200,e,8,1" << m(msg::SetReaderId) + " = 99"
              << m(msg::ScanReader) + " ....";
    }
    lines << QStringLiteral("0000000000000000");
    return lines;
}

// The lamp sits inside the status panel, at its right end. The status text is centred in the
// part left of the lamp, and drawn narrower where the longest line would not fit there: a port
// number hidden under the lamp ("COM : #1" for COM12) could be misread at the bench.
void KeepStatusClearOfLamp(StatusPanel* panel, const QWidget* lamp) {
    panel->setTextRight(lamp->x() - 2);
    const int room = panel->textArea().width();
    const QStringList lines = LongestStatusLines();
    const auto widest = [&lines](const QFont& font) {
        int width = 0;
        for (const QString& line : lines)
            width = std::max(width, QFontMetrics(font).horizontalAdvance(line));
        return width;
    };
    QFont font = panel->font();
    const int base = font.stretch() > 0 ? font.stretch() : 100;
    const int needed = widest(font);
    if (needed <= room)
        return;
    // Synthesised widths are not quite proportional: narrow on until the widest line fits.
    for (int stretch = base * room / needed; stretch >= 50; --stretch) {
        font.setStretch(stretch);
        if (widest(font) <= room)
            break;
    }
    panel->setFont(font);
}

} // namespace

Tu::Tu(link::Link& link, Beeper& beeper, ProgramValues& values, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint),
      values_(values), context_{link, ui_, values, beeper} {
    setObjectName(QStringLiteral("u"));
    ui_.window = this;
    // The designed font is drawn in the first narrow face installed (see DesignFont).
    if (QFont::substitutes(QStringLiteral("MS Sans Serif")).isEmpty())
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), NarrowFaces());
    setFont(DesignFont(16, true));
    setFixedSize(kDesignWidth, kDesignHeight);

    BuildAreaA();
    BuildAreaB();
    BuildAreaC();
    BuildAreaD();
    BuildAreaE();
    BuildAreaF();
    BuildAreaG();
    BuildAreaH();
    BuildAreaI();
    BuildTimers();

    std::vector<QWidget*> order;
    CollectTabOrder(this, order);
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Centred on the screen in its designed size, as the window first appears.
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(kDesignWidth / 2, kDesignHeight / 2));

    FormCreate();
    ConnectEvents();
    ConnectTraffic();
}

Tu::~Tu() {
    context_.link.setTrace({}); // the link may outlive the window
}

// The traffic log takes the link's trace; the operations label it and feed the tag history.
// The sink only appends and notes failed opens: no widget is touched inside a transaction.
void Tu::ConnectTraffic() {
    context_.traffic = &traffic_;
    context_.tagListeners.push_back(&historySink_);
    context_.link.setTrace([this](const link::TraceEvent& event) {
        traffic_.append(event);
        using Kind = link::TraceEvent::Kind;
        if (event.kind == Kind::Opened || event.kind == Kind::OpenFailed ||
            (event.kind == Kind::Finished && event.outcome == link::Outcome::Verified &&
             !openFailures_.empty()))
            NoteOpen(event);
    });
    ui_.pnMsg->installEventFilter(this);

    const std::pair<Qt::Key, void (Tu::*)()> keys[] = {{Qt::Key_F2, &Tu::showTraffic},
                                                       {Qt::Key_F3, &Tu::showTagHistory},
                                                       {Qt::Key_F4, &Tu::showPorts}};
    for (const auto& [key, slot] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    }
}

void Tu::NoteOpen(const link::TraceEvent& event) {
    using Kind = link::TraceEvent::Kind;
    if (event.kind == Kind::Finished) { // the reader answered: what went before is over
        openFailures_.clear();
        return;
    }
    const auto same = std::find_if(openFailures_.begin(), openFailures_.end(),
                                   [&](const OpenFailure& f) { return f.port == event.port; });
    if (event.kind == Kind::Opened) {
        if (same != openFailures_.end())
            openFailures_.erase(same);
    } else if (same != openFailures_.end()) {
        same->error = event.error;
        same->detail.assign(event.detail);
    } else {
        openFailures_.push_back({std::string(event.port), event.error, std::string(event.detail)});
    }
}

QString Tu::statusToolTip() const {
    const int l = values_.LanguageIndex;
    QString tip = ToolTipText(msg::TipStatus, l);
    if (!openFailures_.empty()) {
        tip += "\n\n" + Msg(msg::PortsNotOpened, l);
        for (const OpenFailure& f : openFailures_)
            tip +=
                "\n" + QString::fromStdString(f.port) + ": " + DescribeReason(f.error, f.detail, l);
    }
    return tip;
}

bool Tu::eventFilter(QObject* watched, QEvent* event) {
    // The status line's tooltip is put together when it is asked for, in the language of then.
    if (watched == ui_.pnMsg && event->type() == QEvent::ToolTip)
        ui_.pnMsg->setToolTip(statusToolTip());
    return QWidget::eventFilter(watched, event);
}

void Tu::contextMenuEvent(QContextMenuEvent* event) {
    // No parent: the menu is none of the window's controls. It pops up without a loop of its
    // own, so a tag run goes on while it is open.
    auto* menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const int l = values_.LanguageIndex;
    const std::tuple<int, Qt::Key, void (Tu::*)()> entries[] = {
        {msg::TrafficTitle, Qt::Key_F2, &Tu::showTraffic},
        {msg::TagHistoryTitle, Qt::Key_F3, &Tu::showTagHistory},
        {msg::PortsTitle, Qt::Key_F4, &Tu::showPorts}};
    for (const auto& [k, key, slot] : entries) {
        QAction* action = menu->addAction(Msg(k, l));
        action->setShortcut(QKeySequence(key));
        connect(action, &QAction::triggered, this, slot);
    }
    menu->popup(event->globalPos());
}

void Tu::showTraffic() {
    if (!trafficWindow_)
        trafficWindow_ = std::make_unique<TrafficWindow>(traffic_, values_);
    trafficWindow_->show();
    trafficWindow_->raise();
    trafficWindow_->activateWindow();
}

void Tu::showTagHistory() {
    if (!tagHistoryWindow_)
        tagHistoryWindow_ = std::make_unique<TagHistoryWindow>(tags_, values_);
    tagHistoryWindow_->show();
    tagHistoryWindow_->raise();
    tagHistoryWindow_->activateWindow();
}

void Tu::showPorts() {
    if (!portsWindow_)
        portsWindow_ = std::make_unique<PortsWindow>(values_);
    portsWindow_->show();
    portsWindow_->raise();
    portsWindow_->activateWindow();
}

void Tu::BuildAreaA() {
    ui_.pnMsg = Panel(this, "pnMsg", {8, 4, 345, 40}, 11, "Start Scan Reader!", PanelStyle::Status);
    ui_.shComm = new Lamp(Lamp::Shape::Circle, kRed, ui_.pnMsg);
    Place(ui_.shComm, "shComm", {310, 8, 23, 20});
    KeepStatusClearOfLamp(static_cast<StatusPanel*>(ui_.pnMsg), ui_.shComm);
    ui_.pnSerial =
        Panel(this, "pnSerial", {8, 48, 145, 28}, 6, "S/N : ________", PanelStyle::Small);
    ui_.pnVersion =
        Panel(this, "pnVersion", {152, 48, 201, 28}, 7, "VER : __.__-__", PanelStyle::Small);
    ui_.btnScan = Button(this, "btnScan", {8, 78, 345, 43}, 0, "Scan Reader");
}

void Tu::BuildAreaB() {
    lblID_ = Label(this, "lblID", {8, 133, 49, 22}, "ID:", Qt::AlignRight);
    ui_.pnID = Panel(this, "pnID", {64, 130, 33, 25}, 10, "__");
    ui_.sbID = ParamBar(this, "sbID", {104, 131, 249, 23}, 1, 1);
    ui_.btnID = Button(this, "btnID", {8, 158, 345, 43}, 2, "Set Reader ID");
    lblBaudRate_ = Label(this, "lblBaudRate", {8, 213, 153, 22}, "BaudRate:", Qt::AlignRight);
    QStringList settings;
    for (std::string_view s : link::SettingsList)
        settings << QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    cmbBaudRate_ = new CloseUpComboBox(this);
    List(cmbBaudRate_, this, "cmbBaudRate", {168, 208, 161, 32}, 3, settings, 5);
    StyleList(cmbBaudRate_, 19, 24);
    ui_.cmbBaudRate = cmbBaudRate_;
    // Only the box shows; the designed caption would be cut off at this width anyway.
    ui_.chkLock = CheckBox(this, "chkLock", {336, 212, 17, 17}, 16, "", true);
    ui_.btnBaudRate = Button(this, "btnBaudRate", {8, 238, 345, 43}, 4, "Set Reader Baud Rate");
}

void Tu::BuildAreaC() {
    ui_.pnSameCard = Panel(this, "pnSameCard", {8, 290, 57, 25}, 24, "0010");
    ui_.sbSameCard = ParamBar(this, "sbSameCard", {64, 291, 113, 23}, 23, 10);
    Label(this, "lblSameCard", {184, 293, 33, 22}, "Sec", Qt::AlignLeft);
    QGroupBox* gbNoNc = GroupBox(this, "gbNoNc", {224, 280, 129, 33}, 19, "");
    ui_.rbNO = RadioButton(gbNoNc, "rbNO", {8, 12, 41, 17}, 0, "NO", true);
    ui_.rbNC = RadioButton(gbNoNc, "rbNC", {64, 12, 41, 17}, 1, "NC", false);
    ui_.btnSameCard = Button(this, "btnSameCard", {8, 318, 137, 43}, 17, "Set Same Card");
    ui_.btnGetSameCard = Button(this, "btnGetSameCard", {152, 318, 41, 43}, 32, "Get");
    ui_.btnNoNc = Button(this, "btnNoNc", {200, 318, 105, 43}, 18, "DI5 NO/NC");
    ui_.btnGetNoNc = Button(this, "btnGetNoNc", {312, 318, 41, 43}, 33, "Get");
    ui_.cmbWiegand = List(new QComboBox, this, "cmbWiegand", {8, 368, 169, 28}, 20,
                          Names(reader::WiegandNames()), 1);
    StyleList(ui_.cmbWiegand, 16, 20);
    ui_.cmbRS485 = List(new QComboBox, this, "cmbRS485", {184, 368, 169, 28}, 21,
                        Names(reader::Rs485Names()), 1);
    StyleList(ui_.cmbRS485, 16, 20);
    ui_.btnMode = Button(this, "btnMode", {8, 398, 265, 43}, 22, "Set Reader Mode");
    ui_.btnGetMode = Button(this, "btnGetMode", {280, 398, 73, 43}, 31, "Get");
}

void Tu::BuildAreaD() {
    ui_.shCard = new Lamp(Lamp::Shape::RoundRect, Qt::white, this);
    Place(ui_.shCard, "shCard", {10, 451, 29, 20});
    ui_.pnDI = Panel(this, "pnDI", {48, 450, 20, 25}, 28, "_");
    ui_.pnCardID = Panel(this, "pnCardID", {72, 448, 283, 28}, 9, "ID", PanelStyle::Small);
    ui_.chkDO1 = CheckBox(this, "chkDO1", {8, 480, 57, 17}, 26, "DO1", false);
    ui_.chkDO2 = CheckBox(this, "chkDO2", {8, 500, 57, 17}, 27, "DO2", false);
    ui_.btnReadCard = Button(this, "btnReadCard", {72, 480, 281, 41}, 5, "Read TAG");
}

void Tu::BuildAreaE() {
    QGroupBox* gb = GroupBox(this, "gbDefault", {360, 4, 289, 437}, 12, "Parameter Setting");
    ui_.gbDefault = gb;
    ui_.pnRSSI = Panel(gb, "pnRSSI", {8, 26, 41, 25}, 4, "110");
    ui_.sbRSSI = ParamBar(gb, "sbRSSI", {48, 27, 233, 23}, 3, 110);
    btnSetRSSI_ = Button(gb, "btnSetRSSI", {8, 54, 137, 43}, 2, "Set RSSI");
    btnGetRSSI_ = Button(gb, "btnGetRSSI", {152, 54, 129, 43}, 7, "Get RSSI");
    btnBeepOn_ = Button(gb, "btnBeepOn", {8, 102, 137, 43}, 5, "Set Beep ON");
    btnBeepOff_ = Button(gb, "btnBeepOff", {152, 102, 129, 43}, 6, "Set Beep OFF");
    ui_.pnGain = Panel(gb, "pnGain", {8, 154, 41, 25}, 10, "7");
    ui_.sbGainLevel = ParamBar(gb, "sbGainLevel", {48, 155, 233, 23}, 9, 7);
    btnGain_ = Button(gb, "btnGain", {8, 182, 273, 43}, 8, "Set Gain");
    ui_.pnExciterID1 = Panel(gb, "pnExciterID1", {8, 232, 57, 25}, 14, "0000");
    ui_.sbExciterID1 = ParamBar(gb, "sbExciterID1", {64, 233, 217, 23}, 15, 0);
    ui_.pnExciterID2 = Panel(gb, "pnExciterID2", {8, 258, 57, 25}, 11, "0000");
    ui_.sbExciterID2 = ParamBar(gb, "sbExciterID2", {64, 259, 217, 23}, 13, 0);
    btnSetExciterID_ = Button(gb, "btnSetExciterID", {8, 286, 137, 43}, 12, "Set Exciter ID");
    btnGetExciterID_ = Button(gb, "btnGetExciterID", {152, 286, 129, 43}, 16, "Get Exciter ID");
    btnReset_ = Button(gb, "btnReset", {8, 336, 273, 41}, 1, "Reader Reset");
    ui_.btnFactory = Button(gb, "btnFactory", {8, 384, 273, 41}, 0, "Factory Default");
}

void Tu::BuildAreaF() {
    ui_.btnEng = Button(this, "btnEng", {359, 448, 90, 24}, 13, "English");
    ui_.btnEng->setFont(DesignFont(13, false));
    QPalette red = ui_.btnEng->palette();
    // Red while it can be pressed; greyed like the others while a tag run disables it.
    red.setColor(QPalette::Active, QPalette::ButtonText, kRed);
    red.setColor(QPalette::Inactive, QPalette::ButtonText, kRed);
    ui_.btnEng->setPalette(red);

    ui_.btnGB = Button(this, "btnGB", {460, 448, 89, 24}, 14, "");
    ui_.btnBIG5 = Button(this, "btnBIG5", {560, 448, 89, 24}, 15, "");
    const std::pair<QPushButton*, const char*> pictures[] = {{ui_.btnGB, "簡体"},
                                                             {ui_.btnBIG5, "繁體"}};
    for (const auto& [button, characters] : pictures) {
        button->setFont(DesignFont(12, false));
        button->setIcon(LanguagePicture(QString::fromUtf8(characters)));
        button->setIconSize({34, 16});
    }

    ui_.btnExit = Button(this, "btnExit", {360, 480, 225, 41}, 8, "Exit");
    ui_.btnExit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    btnEntryExit_ = Button(this, "btnEntryExit", {592, 478, 57, 43}, 30, ">>");
}

void Tu::BuildAreaG() {
    QGroupBox* gb = GroupBox(this, "gbEntryExit", {656, 4, 289, 189}, 29, "Entry Exit Mode");
    gbEntryExit_ = gb;
    ui_.pnID2 = Panel(gb, "pnID2", {8, 26, 49, 25}, 0, "0");
    ui_.sbID2 = ParamBar(gb, "sbID2", {64, 27, 217, 23}, 1, 0);
    ui_.btnSerID2 = Button(gb, "btnSerID2", {8, 54, 209, 43}, 2, "Set ID (CH2) 0=Disable");
    ui_.btnGetID2 = Button(gb, "btnGetID2", {224, 54, 57, 43}, 7, "Get");
    ui_.pnSameCard2 = Panel(gb, "pnSameCard2", {8, 106, 49, 25}, 3, "0010");
    ui_.sbSameCard2 = ParamBar(gb, "sbSameCard2", {64, 107, 217, 23}, 4, 10);
    ui_.btnSameCard2 = Button(gb, "btnSameCard2", {8, 134, 209, 43}, 5, "Set Same Card");
    ui_.btnGetSameCard2 = Button(gb, "btnGetSameCard2", {224, 134, 57, 43}, 6, "Get");
}

void Tu::BuildAreaH() {
    QGroupBox* gb = GroupBox(this, "gbRelayMode", {656, 200, 289, 201}, 34, "Relay Mode");
    gbRelayMode_ = gb;
    ui_.chkRL1En = CheckBox(gb, "chkRL1En", {8, 28, 97, 17}, 0, "Enabled", true, 13);
    ui_.chkRL1Key = CheckBox(gb, "chkRL1Key", {112, 28, 81, 17}, 10, "KEY", false, 13);
    ui_.chkRL1Mo = CheckBox(gb, "chkRL1Mo", {200, 28, 81, 17}, 11, "MO", false, 13);
    Label(gb, "Label1", {5, 53, 41, 22}, "RL1 :", Qt::AlignLeft);
    ui_.pnRL1 = Panel(gb, "pnRL1", {48, 50, 49, 25}, 1, "10");
    ui_.sbRL1 = ParamBar(gb, "sbRL1", {104, 51, 113, 23}, 2, 10);
    Label(gb, "Label3", {224, 53, 57, 22}, "(0.1 Sec)", Qt::AlignRight);
    ui_.chkRL2En = CheckBox(gb, "chkRL2En", {8, 92, 97, 17}, 7, "Enabled", true, 13);
    ui_.chkRL2Key = CheckBox(gb, "chkRL2Key", {112, 92, 81, 17}, 8, "KEY", true, 13);
    ui_.chkRL2Mo = CheckBox(gb, "chkRL2Mo", {200, 92, 81, 17}, 9, "MO", false, 13);
    Label(gb, "Label2", {5, 117, 41, 22}, "RL2:", Qt::AlignLeft);
    ui_.pnRL2 = Panel(gb, "pnRL2", {48, 114, 49, 25}, 3, "10");
    ui_.sbRL2 = ParamBar(gb, "sbRL2", {104, 115, 113, 23}, 4, 10);
    Label(gb, "Label4", {224, 117, 57, 22}, "(0.1 Sec)", Qt::AlignRight);
    ui_.btnSetRL = Button(gb, "btnSetRL", {8, 150, 209, 43}, 5, "Set Relay Mode");
    ui_.btnGetRL = Button(gb, "btnGetRL", {224, 150, 57, 43}, 6, "Get");
}

void Tu::BuildAreaI() {
    // Beyond the right edge in both forms. It is also hidden, so that the keyboard cannot move
    // the focus onto controls nobody can see; its scroll bars still hold the values that the
    // factory default sets.
    QGroupBox* gb = GroupBox(this, "GroupBox1", {960, 8, 289, 505}, 25, "GroupBox1");
    GroupBox1_ = gb;
    ui_.pnAddr = Panel(gb, "pnAddr", {8, 26, 41, 25}, 0, "049");
    ui_.sbAddr = ParamBar(gb, "sbAddr", {48, 27, 233, 23}, 1, 49);
    btnAddr_ = Button(gb, "btnAddr", {8, 54, 273, 43}, 2, "Set Address");
    ui_.pnFreq = Panel(gb, "pnFreq", {8, 106, 41, 25}, 3, "059");
    ui_.sbFreq = ParamBar(gb, "sbFreq", {48, 107, 233, 23}, 4, 59);
    btnFreq_ = Button(gb, "btnFreq", {8, 134, 273, 43}, 5, "Set Freq");
    ui_.pnChannel = Panel(gb, "pnChannel", {8, 186, 41, 25}, 6, "000");
    ui_.sbChannel = ParamBar(gb, "sbChannel", {48, 187, 233, 23}, 7, 0);
    btnChannel_ = Button(gb, "btnChannel", {8, 214, 273, 43}, 8, "Set Channel");
    for (QPushButton* b : {btnAddr_, btnFreq_, btnChannel_})
        b->setEnabled(false);
    gb->hide();
}

void Tu::BuildTimers() {
    ui_.tmrBusy = new QTimer(this);
    ui_.tmrBusy->setObjectName(QStringLiteral("tmrBusy"));
    ui_.tmrBusy->setInterval(200);
    ui_.tmrBusy->setProperty("tag", 0);
    ui_.tmrCard = new QTimer(this);
    ui_.tmrCard->setObjectName(QStringLiteral("tmrCard"));
    ui_.tmrCard->setInterval(1000);
}

// Wired after FormCreate: the designed start texts of the value panels stand until a bar really
// moves, and selecting the stored line setting is not an operator's choice.
void Tu::ConnectEvents() {
    // The reader operations, each row by its control's object name.
    for (const ops::Handler& row : ops::Handlers()) {
        const auto run = [this, &row] { ops::Run(context_, row); };
        switch (row.event) {
        case ops::Event::Click:
            connect(findChild<QAbstractButton*>(row.control), &QAbstractButton::clicked, this, run);
            break;
        case ops::Event::Change:
            connect(findChild<QScrollBar*>(row.control), &QScrollBar::valueChanged, this, run);
            break;
        case ops::Event::CloseUp:
            // Queued: a click or Enter on an entry hides the list before the entry becomes the
            // selection, within the same event; the handler must see the entry that was picked.
            connect(findChild<CloseUpComboBox*>(row.control), &CloseUpComboBox::closedUp, this, run,
                    Qt::QueuedConnection);
            break;
        case ops::Event::Timeout:
            connect(findChild<QTimer*>(row.control), &QTimer::timeout, this, run);
            break;
        }
    }

    // The shell's own buttons.
    const std::pair<QPushButton*, void (Tu::*)()> buttons[] = {
        {ui_.btnEng, &Tu::btnEngClick},          {ui_.btnGB, &Tu::btnGBClick},
        {ui_.btnBIG5, &Tu::btnBIG5Click},        {ui_.btnExit, &Tu::btnExitClick},
        {btnEntryExit_, &Tu::btnEntryExitClick},
    };
    for (const auto& [button, slot] : buttons)
        connect(button, &QPushButton::clicked, this, slot);
}

void Tu::FormCreate() {
    const ProgramValues start;
    values_.ScanPort = start.ScanPort;
    values_.ScanSettings = start.ScanSettings;
    values_.ScanSettingsIndex = start.ScanSettingsIndex;
    values_.LanguageName = start.LanguageName;
    values_.LanguageIndex = start.LanguageIndex;
    ReadStoredSettings(values_);
    // The window has no close button (see the window flags): Exit is the way out.
    values_.TagReadActive = false;
    values_.ReaderFound = false;
    cmbBaudRate_->setCurrentIndex(values_.ScanSettingsIndex);
}

int Tu::narrowWidth() const {
    return btnEntryExit_->geometry().right() + 1 + kOuterMargin - kFramePixels;
}

int Tu::wideWidth() const {
    return gbEntryExit_->geometry().right() + 1 + kOuterMargin - kFramePixels;
}

void Tu::FormShow() {
    setFixedWidth(narrowWidth());

    const int l = values_.LanguageIndex;
    setWindowTitle(Msg(msg::Caption, l));
    ui_.pnMsg->setText(Msg(msg::StartScanReader, l));
    ui_.pnSerial->setText(Msg(msg::SerialNo, l) + QStringLiteral(" : ________"));
    ui_.pnVersion->setText(Msg(msg::Version, l) + QStringLiteral(" : __.__-__"));
    lblID_->setText(Msg(msg::IdLabel, l) + QStringLiteral(":"));
    lblBaudRate_->setText(Msg(msg::BaudRate, l) + QStringLiteral(":"));
    ui_.pnCardID->setText(Msg(msg::TagId, l));

    // Buttons, group boxes and check boxes, in the order the texts are set.
    const std::pair<QWidget*, int> captions[] = {
        {ui_.btnScan, msg::ScanReader},
        {ui_.btnID, msg::SetReaderId},
        {ui_.btnBaudRate, msg::SetReaderBaudRateButton},
        {ui_.btnReadCard, msg::ReadTag},
        {ui_.gbDefault, msg::ParameterSetting},
        {ui_.btnFactory, msg::FactoryDefault},
        {ui_.btnExit, msg::Exit},
        {btnReset_, msg::ReaderReset},
        {btnGain_, msg::SetGain},
        {btnSetExciterID_, msg::SetExciterId},
        {btnGetExciterID_, msg::GetExciterId},
        {ui_.btnNoNc, msg::Di5NoNc},
        {ui_.btnSameCard, msg::SetSameCard},
        {ui_.btnMode, msg::SetReaderMode},
        {btnAddr_, msg::SetAddress},
        {btnFreq_, msg::SetFreq},
        {btnChannel_, msg::SetChannel},
        {ui_.btnSameCard2, msg::SetSameCard},
        {ui_.btnGetID2, msg::Get},
        {ui_.btnGetSameCard, msg::Get},
        {gbEntryExit_, msg::EntryExitMode},
        {ui_.btnSetRL, msg::SetRelayMode},
        {ui_.chkRL1En, msg::Enabled},
        {ui_.chkRL2En, msg::Enabled},
        {gbRelayMode_, msg::RelayMode},
        {ui_.btnGetSameCard2, msg::Get},
        {ui_.btnGetNoNc, msg::Get},
        {ui_.btnGetMode, msg::Get},
        {btnBeepOn_, msg::SetBeepOn},
        {btnBeepOff_, msg::SetBeepOff},
        {btnSetRSSI_, msg::SetRssi},
        {btnGetRSSI_, msg::GetRssi},
    };
    for (const auto& [control, k] : captions) {
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setText(Msg(k, l));
        else if (auto* group = qobject_cast<QGroupBox*>(control))
            group->setTitle(Msg(k, l));
    }

    // Beside the designed texts: the tooltips and the other windows follow the language.
    ApplyToolTips(this, l);
    if (trafficWindow_)
        trafficWindow_->applyLanguage();
    if (tagHistoryWindow_)
        tagHistoryWindow_->applyLanguage();
    if (portsWindow_)
        portsWindow_->applyLanguage();
}

void Tu::SetLanguage(int index) {
    values_.LanguageIndex = index;
    values_.LanguageName = QString::fromLatin1(kLanguageNames[index]);
    SaveLanguage(values_);
    FormShow();
}

void Tu::btnEngClick() {
    SetLanguage(0);
}
void Tu::btnGBClick() {
    SetLanguage(1);
}
void Tu::btnBIG5Click() {
    SetLanguage(2);
}

void Tu::btnEntryExitClick() {
    setFixedWidth(wideWidth());
}

void Tu::btnExitClick() {
    closing_ = true;
    close();
}

void Tu::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void Tu::closeEvent(QCloseEvent* event) {
    // Only Exit ends the program; a close request from the window manager is refused.
    if (!closing_) {
        event->ignore();
        return;
    }
    event->accept();
    // The program ends with its last window: those beside this one go with it.
    if (trafficWindow_)
        trafficWindow_->close();
    if (tagHistoryWindow_)
        tagHistoryWindow_->close();
    if (portsWindow_)
        portsWindow_->close();
}

void Tu::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Enter presses the focused button; anywhere else it presses the default button, btnScan.
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    QPushButton* target = focused && isAncestorOf(focused) ? focused : ui_.btnScan;
    if (target->isEnabled())
        target->click();
}

} // namespace qv
