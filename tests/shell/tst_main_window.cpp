// The main window: designed geometry, start state, the narrow and wide forms, the language
// buttons, Enter and the default button, closing only through Exit, the tab order and the wiring
// of the scroll bars and the line-settings list. The reader is a fake on a virtual clock whose
// ports never open, so a click that starts discovery ends at once with "not found".
#include "link/protocol/link.h"
#include "program/lamp.h"
#include "program/messages.h"
#include "program/program_values.h"
#include "shell/designed_controls.h"
#include "shell/main_window.h"
#include "shell/ports_window.h"
#include "shell/tag_history_window.h"
#include "shell/tooltips.h"
#include "shell/traffic_window.h"
#include "tests/support/fake_device.h"
#include "tests/support/recording_beeper.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <memory>

// Cases that test Linux's ground rather than the program's:
// - the settings store as an INI file: on Windows the store is the registry (QSettings' own part);
// - text widths and drawn pixels: Qt's offscreen platform on Windows measures in a fallback face,
//   not in the fonts a Windows machine has.
#ifdef Q_OS_WIN
#define QV_SKIP_ON_WINDOWS_STORE QSKIP("the settings store is the registry on Windows")
#define QV_SKIP_ON_WINDOWS_FONTS QSKIP("the offscreen platform measures in a fallback face")
#else
#define QV_SKIP_ON_WINDOWS_STORE static_cast<void>(0)
#define QV_SKIP_ON_WINDOWS_FONTS static_cast<void>(0)
#endif

namespace {

struct Window {
    qv::test::VirtualTime time;
    qv::test::FakeDevice device{time};
    qv::link::Link link{device, time, time};
    qv::ProgramValues values;
    qv::test::RecordingBeeper beeper;
    qv::Tu tu{link, beeper, values};

    Window() {
        device.canOpen = [](const std::string&, const qv::link::LineSettings&) { return false; };
        beeper.ui = &tu.controls();
    }
    template <typename T = QWidget>
    T* find(const char* name) {
        T* w = tu.findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qWarning("no control named %s", name);
        return w;
    }
    QString text(const char* name) {
        if (auto* label = tu.findChild<QLabel*>(name))
            return label->text();
        if (auto* button = tu.findChild<QAbstractButton*>(name))
            return button->text();
        if (auto* group = tu.findChild<QGroupBox*>(name))
            return group->title();
        qWarning("no text control named %s", name);
        return {};
    }
};

} // namespace

// Counts the mouse presses a widget receives, with where they landed.
class PressRecorder : public QObject {
public:
    QList<QPoint> presses;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress)
            presses << static_cast<QMouseEvent*>(event)->position().toPoint();
        return false;
    }
};

class tst_MainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void controlsSitAtTheirDesignedPlaces_data();
    void controlsSitAtTheirDesignedPlaces();
    void valuePanelsShowTheirStartTexts_data();
    void valuePanelsShowTheirStartTexts();
    void controlsStartInTheirDesignedState();
    void controlsDrawWithTheirDesignedFontsAndColours_data();
    void controlsDrawWithTheirDesignedFontsAndColours();
    void noLabelOrPanelRendersMarkup();
    void everyTextFitsItsControl_data();
    void everyTextFitsItsControl();
    void statusLinesClearTheLamp();
    void startReadsTheStoreAndWritesNothing();
    void storedIndexSelectsTheLineSetting();

    void narrowAndWideFormsCutAtControlEdges();
    void groupBox1NeverShowsAndItsButtonsStayDisabled();
    void languageButtonStoresAndReappliesTheLanguage_data();
    void languageButtonStoresAndReappliesTheLanguage();
    void formShowSetsEveryTextInTheActiveLanguage_data();
    void formShowSetsEveryTextInTheActiveLanguage();

    void enterPressesTheFocusedButtonElseScan_data();
    void enterPressesTheFocusedButtonElseScan();
    void onlyExitClosesTheWindow();
    void tabOrderFollowsTheDesign();
    void scrollBarsRewriteTheirPanelsOnlyWhenMoved_data();
    void scrollBarsRewriteTheirPanelsOnlyWhenMoved();
    void baudRateListReportsEveryCloseUp();
    void everyControlHasAToolTipInTheActiveLanguage_data();
    void everyControlHasAToolTipInTheActiveLanguage();
    void lampsShowTheirToolTipsAndPassClicksOn_data();
    void lampsShowTheirToolTipsAndPassClicksOn();
    void functionKeysOpenTheWindowsBesideIt();

private:
    QString storeFile() const { return userDir_->path() + "/Velmora/Quorvane_Tools.conf"; }
    void writeStore(const QByteArray& ini);

    QTemporaryDir home_;
    QTemporaryDir machine_;
    std::unique_ptr<QTemporaryDir> userDir_;
    std::unique_ptr<Window> w_;
};

void tst_MainWindow::initTestCase() {
    // Away from the real home before the first QSettings use; a fresh store folder per test.
    QVERIFY(home_.isValid() && machine_.isValid());
    qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, machine_.path());
    // The Ports window lists an empty tree, not this machine's ports (which it would open).
    qputenv("QV_SYSFS_ROOT", (home_.path() + "/sys").toLocal8Bit());
}

void tst_MainWindow::init() {
    userDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(userDir_->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, userDir_->path());
    w_ = std::make_unique<Window>();
}

void tst_MainWindow::cleanup() {
    w_.reset();
}

void tst_MainWindow::writeStore(const QByteArray& ini) {
    QVERIFY(QDir().mkpath(QFileInfo(storeFile()).path()));
    QFile f(storeFile());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(ini);
}

void tst_MainWindow::controlsSitAtTheirDesignedPlaces_data() {
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("pnMsg") << "u" << QRect(8, 4, 345, 40);
    QTest::newRow("shComm") << "pnMsg" << QRect(310, 8, 23, 20);
    QTest::newRow("pnVersion") << "u" << QRect(152, 48, 201, 28);
    QTest::newRow("btnScan") << "u" << QRect(8, 78, 345, 43);
    QTest::newRow("lblID") << "u" << QRect(8, 133, 49, 22);
    QTest::newRow("sbID") << "u" << QRect(104, 131, 249, 23);
    QTest::newRow("cmbBaudRate") << "u" << QRect(168, 208, 161, 32);
    QTest::newRow("chkLock") << "u" << QRect(336, 212, 17, 17);
    QTest::newRow("lblSameCard") << "u" << QRect(184, 293, 33, 22);
    QTest::newRow("rbNC") << "gbNoNc" << QRect(64, 12, 41, 17);
    QTest::newRow("cmbRS485") << "u" << QRect(184, 368, 169, 28);
    QTest::newRow("btnGetMode") << "u" << QRect(280, 398, 73, 43);
    QTest::newRow("shCard") << "u" << QRect(10, 451, 29, 20);
    QTest::newRow("pnDI") << "u" << QRect(48, 450, 20, 25);
    QTest::newRow("chkDO2") << "u" << QRect(8, 500, 57, 17);
    QTest::newRow("gbDefault") << "u" << QRect(360, 4, 289, 437);
    QTest::newRow("btnGetRSSI") << "gbDefault" << QRect(152, 54, 129, 43);
    QTest::newRow("sbExciterID2") << "gbDefault" << QRect(64, 259, 217, 23);
    QTest::newRow("btnFactory") << "gbDefault" << QRect(8, 384, 273, 41);
    QTest::newRow("btnEng") << "u" << QRect(359, 448, 90, 24);
    QTest::newRow("btnBIG5") << "u" << QRect(560, 448, 89, 24);
    QTest::newRow("btnExit") << "u" << QRect(360, 480, 225, 41);
    QTest::newRow("btnEntryExit") << "u" << QRect(592, 478, 57, 43);
    QTest::newRow("gbEntryExit") << "u" << QRect(656, 4, 289, 189);
    QTest::newRow("btnSerID2") << "gbEntryExit" << QRect(8, 54, 209, 43);
    QTest::newRow("gbRelayMode") << "u" << QRect(656, 200, 289, 201);
    QTest::newRow("Label1") << "gbRelayMode" << QRect(5, 53, 41, 22);
    QTest::newRow("sbRL2") << "gbRelayMode" << QRect(104, 115, 113, 23);
    QTest::newRow("GroupBox1") << "u" << QRect(960, 8, 289, 505);
    QTest::newRow("btnChannel") << "GroupBox1" << QRect(8, 214, 273, 43);
}

void tst_MainWindow::controlsSitAtTheirDesignedPlaces() {
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QWidget* control = w_->find(QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parentName);
    QCOMPARE(control->geometry(), geometry);
}

void tst_MainWindow::valuePanelsShowTheirStartTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("pnID") << "__";
    QTest::newRow("pnSameCard") << "0010";
    QTest::newRow("pnDI") << "_";
    QTest::newRow("pnRSSI") << "110";
    QTest::newRow("pnGain") << "7";
    QTest::newRow("pnExciterID1") << "0000";
    QTest::newRow("pnExciterID2") << "0000";
    QTest::newRow("pnID2") << "0";
    QTest::newRow("pnSameCard2") << "0010";
    QTest::newRow("pnRL1") << "10";
    QTest::newRow("pnRL2") << "10";
    QTest::newRow("pnAddr") << "049";
    QTest::newRow("pnFreq") << "059";
    QTest::newRow("pnChannel") << "000";
}

void tst_MainWindow::valuePanelsShowTheirStartTexts() {
    QFETCH(QString, text);
    w_->tu.show();
    auto* panel = w_->find<QLabel>(QTest::currentDataTag());
    QVERIFY(panel);
    QCOMPARE(panel->text(), text);
    QCOMPARE(panel->textFormat(), Qt::PlainText);
}

void tst_MainWindow::controlsStartInTheirDesignedState() {
    Window& w = *w_;
    w.tu.show();
    auto* lock = w.find<QCheckBox>("chkLock");
    QVERIFY(lock->isChecked());
    QCOMPARE(lock->text(), QString());
    QCOMPARE(lock->size(), QSize(17, 17));
    QVERIFY(w.find<QRadioButton>("rbNO")->isChecked());
    QVERIFY(!w.find<QRadioButton>("rbNC")->isChecked());
    QVERIFY(!w.find<QCheckBox>("chkDO1")->isChecked());
    QVERIFY(w.find<QCheckBox>("chkRL1En")->isChecked());
    QVERIFY(!w.find<QCheckBox>("chkRL1Key")->isChecked());
    QVERIFY(w.find<QCheckBox>("chkRL2Key")->isChecked());

    auto* wiegand = w.find<QComboBox>("cmbWiegand");
    QCOMPARE(wiegand->count(), 5);
    QCOMPARE(wiegand->currentText(), QString("Wiegand 26 bits"));
    QCOMPARE(wiegand->itemText(4), QString("Wiegand 35 bits"));
    auto* rs485 = w.find<QComboBox>("cmbRS485");
    QCOMPARE(rs485->count(), 4);
    QCOMPARE(rs485->currentText(), QString("RS485 32 bits"));
    auto* baud = w.find<QComboBox>("cmbBaudRate");
    QCOMPARE(baud->count(), 12);
    QCOMPARE(baud->itemText(0), QString("4800,n,8,1"));
    QCOMPARE(baud->itemText(11), QString("115200,e,8,1"));
    QCOMPARE(baud->currentText(), QString("19200,e,8,1"));

    auto* exciter = w.find<QScrollBar>("sbExciterID1");
    QCOMPARE(exciter->maximum(), 65535);
    QCOMPARE(exciter->pageStep(), 10);
    QCOMPARE(exciter->singleStep(), 1);
    auto* gain = w.find<QScrollBar>("sbGainLevel");
    QCOMPARE(gain->minimum(), 1);
    QCOMPARE(gain->value(), 7);

    qv::Controls& ui = w.tu.controls();
    QCOMPARE(ui.shComm->color(), QColor(255, 0, 0));
    QCOMPARE(ui.shCard->color(), QColor(Qt::white));
    QCOMPARE(ui.tmrBusy->interval(), 200);
    QCOMPARE(ui.tmrBusy->property("tag").toInt(), 0);
    QVERIFY(!ui.tmrBusy->isActive());
    QCOMPARE(ui.tmrCard->interval(), 1000);
    QVERIFY(!ui.tmrCard->isActive());
    QVERIFY(!ui.btnGB->icon().isNull());
    QCOMPARE(ui.btnGB->iconSize(), QSize(34, 16));
    QCOMPARE(ui.btnGB->text(), QString());
    QVERIFY(!ui.btnExit->icon().isNull());

    QVERIFY(!w.values.ReaderFound);
    QVERIFY(!w.values.TagReadActive);
    QCOMPARE(w.tu.windowTitle(), QString("Quorvane Tools V0232"));
}

namespace {
// How a control's text is drawn: the colour of the role the control paints its text with, and
// the fill behind it where the design names one.
enum class Fill { None, Highlight, Caption };
QColor TextColour(QWidget* w) {
    if (qobject_cast<QAbstractButton*>(w))
        return w->palette().color(QPalette::ButtonText);
    if (qobject_cast<QComboBox*>(w))
        return w->palette().color(QPalette::ButtonText);
    return w->palette().color(w->foregroundRole());
}
} // namespace

void tst_MainWindow::controlsDrawWithTheirDesignedFontsAndColours_data() {
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("text"); // invalid: the window-text colour
    QTest::addColumn<int>("fill");
    const QColor yellow(255, 255, 0);
    const QColor windowText;
    const int none = int(Fill::None), highlight = int(Fill::Highlight);
    // value panels, large and small; the status panel
    QTest::newRow("pnID") << 19 << true << yellow << highlight;
    QTest::newRow("pnDI") << 19 << true << yellow << highlight;
    QTest::newRow("pnRL2") << 19 << true << yellow << highlight;
    QTest::newRow("pnChannel") << 19 << true << yellow << highlight;
    QTest::newRow("pnSerial") << 13 << true << yellow << highlight;
    QTest::newRow("pnVersion") << 13 << true << yellow << highlight;
    QTest::newRow("pnCardID") << 13 << true << yellow << highlight;
    QTest::newRow("pnMsg") << 19 << true << QColor(Qt::white) << int(Fill::Caption);
    // lists
    QTest::newRow("cmbBaudRate") << 19 << true << yellow << highlight;
    QTest::newRow("cmbWiegand") << 16 << true << yellow << highlight;
    QTest::newRow("cmbRS485") << 16 << true << yellow << highlight;
    // labels
    QTest::newRow("lblID") << 13 << false << windowText << none;
    QTest::newRow("lblBaudRate") << 13 << false << windowText << none;
    QTest::newRow("lblSameCard") << 13 << false << windowText << none;
    QTest::newRow("Label3") << 13 << false << windowText << none;
    // controls with a font of their own
    QTest::newRow("btnEng") << 13 << false << QColor(255, 0, 0) << none;
    QTest::newRow("btnGB") << 12 << false << windowText << none;
    QTest::newRow("rbNO") << 12 << false << windowText << none;
    QTest::newRow("chkRL1En") << 13 << false << windowText << none;
    QTest::newRow("chkRL2Mo") << 13 << false << windowText << none;
    // the window font
    QTest::newRow("btnScan") << 16 << true << windowText << none;
    QTest::newRow("chkDO1") << 16 << true << windowText << none;
    QTest::newRow("chkLock") << 16 << true << windowText << none;
    QTest::newRow("gbDefault") << 16 << true << windowText << none;
    QTest::newRow("btnGetRL") << 16 << true << windowText << none;
}

void tst_MainWindow::controlsDrawWithTheirDesignedFontsAndColours() {
    QV_SKIP_ON_WINDOWS_FONTS;
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    QFETCH(QColor, text);
    QFETCH(int, fill);
    w_->tu.show();
    QWidget* control = w_->find(QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(control->font().pixelSize(), pixelSize);
    QCOMPARE(control->font().bold(), bold);
    const QPalette app = QApplication::palette();
    const QColor expected = text.isValid() ? text
                            : qobject_cast<QAbstractButton*>(control)
                                ? app.color(QPalette::ButtonText)
                                : app.color(QPalette::WindowText);
    QCOMPARE(TextColour(control), expected);
    if (fill == int(Fill::Highlight)) {
        const QPalette::ColorRole role =
            qobject_cast<QComboBox*>(control) ? QPalette::Button : QPalette::Window;
        QCOMPARE(control->palette().color(role), app.color(QPalette::Highlight));
    }
    if (auto* panel = qobject_cast<QLabel*>(control); panel && fill != int(Fill::None)) {
        QVERIFY(panel->autoFillBackground());
        QCOMPARE(panel->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        // As drawn: the fill inside, and for value panels a dark single-line border. A thin
        // placeholder ("_", "__") may draw with no full-colour pixel; a digit always has some.
        const QString shown = panel->text();
        if (!shown.isEmpty() && shown.count(QLatin1Char('_')) == shown.size())
            panel->setText(QStringLiteral("8"));
        const QImage image = panel->grab().toImage();
        panel->setText(shown);
        const QColor inside = image.pixelColor(2, image.height() / 2);
        QCOMPARE(inside, fill == int(Fill::Highlight) ? app.color(QPalette::Highlight)
                                                      : panel->palette().color(QPalette::Window));
        if (fill == int(Fill::Highlight)) {
            for (const QPoint p : {QPoint(0, image.height() / 2), QPoint(image.width() / 2, 0),
                                   QPoint(image.width() - 1, image.height() - 1)})
                QVERIFY2(image.pixelColor(p).lightness() < 100,
                         qPrintable(image.pixelColor(p).name()));
            bool yellowText = false;
            for (int y = 2; y < image.height() - 2 && !yellowText; ++y)
                for (int x = 2; x < image.width() - 2 && !yellowText; ++x)
                    yellowText = image.pixelColor(x, y) == QColor(255, 255, 0);
            QVERIFY(yellowText);
        }
    }
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        QVERIFY(!list->isEditable());
        QCOMPARE(list->view()->sizeHintForRow(0), pixelSize == 19 ? 24 : 20);
        QCOMPARE(list->view()->palette().color(QPalette::Text), QColor(255, 255, 0));
    }
}

void tst_MainWindow::noLabelOrPanelRendersMarkup() {
    Window& w = *w_;
    w.tu.show();
    const QList<QLabel*> labels = w.tu.findChildren<QLabel*>();
    QVERIFY(labels.size() >= 20);
    for (QLabel* label : labels)
        QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
    // A serial number from the reader that looks like markup is shown as it came.
    w.tu.controls().pnSerial->setText("S/N : <b>12</b>");
    QCOMPARE(w.tu.controls().pnSerial->text(), QString("S/N : <b>12</b>"));
}

void tst_MainWindow::everyTextFitsItsControl_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("ChineseGB") << 1;
    QTest::newRow("ChineseBIG5") << 2;
}

// Measured with the fonts this machine really has: a face wider than the designed one must not
// clip captions such as "Set ID (CH2) 0=Disable" or "Wiegand 26 bits".
void tst_MainWindow::everyTextFitsItsControl() {
    QV_SKIP_ON_WINDOWS_FONTS;
    QFETCH(int, language);
    Window& w = *w_;
    w.values.LanguageIndex = language;
    w.tu.show();
    w.tu.FormShow();
    QStringList clipped;
    const auto check = [&](QWidget* control, const QString& text, int room) {
        const int needed = QFontMetrics(control->font()).horizontalAdvance(text);
        if (needed > room)
            clipped << QStringLiteral("%1 \"%2\": %3 > %4")
                           .arg(control->objectName(), text)
                           .arg(needed)
                           .arg(room);
    };
    int measured = 0;
    for (QWidget* control : w.tu.findChildren<QWidget*>()) {
        if (control->objectName().isEmpty() || control->parentWidget()->objectName() == "GroupBox1")
            continue;
        QStyle* style = control->style();
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            if (button->text().isEmpty())
                continue;
            QStyleOptionButton option;
            option.initFrom(button);
            int room =
                style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
            if (!button->icon().isNull())
                room -= button->iconSize().width() + 4;
            check(button, button->text(), room);
        } else if (auto* box = qobject_cast<QAbstractButton*>(control)) {
            if (box->text().isEmpty())
                continue;
            QStyleOptionButton option;
            option.initFrom(box);
            const bool radio = qobject_cast<QRadioButton*>(box) != nullptr;
            const int room = box->width() -
                             style->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth
                                                      : QStyle::PM_IndicatorWidth,
                                                &option, box) -
                             style->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing
                                                      : QStyle::PM_CheckBoxLabelSpacing,
                                                &option, box);
            check(box, box->text(), room);
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            check(label, label->text(), label->contentsRect().width());
        } else if (auto* list = qobject_cast<QComboBox*>(control)) {
            QStyleOptionComboBox option;
            option.initFrom(list);
            option.editable = false;
            const int room = style
                                 ->subControlRect(QStyle::CC_ComboBox, &option,
                                                  QStyle::SC_ComboBoxEditField, list)
                                 .width();
            for (int i = 0; i < list->count(); ++i)
                check(list, list->itemText(i), room);
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            check(group, group->title(), group->width() - 8);
        } else {
            continue;
        }
        ++measured;
    }
    QVERIFY2(measured >= 60, qPrintable(QString::number(measured)));
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
}

void tst_MainWindow::startReadsTheStoreAndWritesNothing() {
    w_->tu.show();
    w_->tu.controls().btnExit->click();
    w_.reset();
    QVERIFY(QDir(userDir_->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void tst_MainWindow::storedIndexSelectsTheLineSetting() {
    QV_SKIP_ON_WINDOWS_STORE;
    writeStore("[General]\nScanCommNo=2\nScanBaudRate=\"9600,e,8,1\"\nScanBaudRateNo=3\n"
               "LanguageFlag=ChineseGB\n");
    w_ = std::make_unique<Window>();
    w_->tu.show();
    QCOMPARE(w_->values.ScanPort, 2);
    QCOMPARE(w_->find<QComboBox>("cmbBaudRate")->currentIndex(), 3);
    QCOMPARE(w_->tu.windowTitle(), QString("Quorvane 工具程式 V0232"));
    QCOMPARE(w_->text("btnScan"), QString("扫描读卡机"));
}

void tst_MainWindow::narrowAndWideFormsCutAtControlEdges() {
    Window& w = *w_;
    w.tu.show();
    // The designed outer widths, 661 and 957, less the 8 frame pixels that Qt does not draw.
    QCOMPARE(w.tu.narrowWidth() + 8, 661);
    QCOMPARE(w.tu.wideWidth() + 8, 957);

    const auto checkCut = [&](int lastVisibleEdge, int firstHiddenLeft, const QStringList& shown,
                              const QStringList& cut) {
        const int width = w.tu.width();
        QVERIFY2(width >= lastVisibleEdge && width <= firstHiddenLeft,
                 qPrintable(QString::number(width)));
        QCOMPARE(w.tu.height(), 527);
        QCOMPARE(w.tu.minimumSize(), w.tu.maximumSize()); // not resizable
        for (QWidget* child : w.tu.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect g = child->geometry();
            const bool inside = g.x() + g.width() <= width;
            const bool outside = g.x() >= width;
            QVERIFY2(inside || outside, qPrintable(child->objectName() + " is cut in half"));
            if (shown.contains(child->objectName()))
                QVERIFY2(inside, qPrintable(child->objectName()));
            if (cut.contains(child->objectName()))
                QVERIFY2(outside, qPrintable(child->objectName()));
        }
    };
    checkCut(649, 656, {"gbDefault", "btnBIG5", "btnEntryExit", "pnMsg"},
             {"gbEntryExit", "gbRelayMode", "GroupBox1"});
    w.find<QPushButton>("btnEntryExit")->click();
    checkCut(945, 960, {"gbEntryExit", "gbRelayMode", "gbDefault"}, {"GroupBox1"});
    w.find<QPushButton>("btnEntryExit")->click(); // stays wide
    checkCut(945, 960, {"gbEntryExit", "gbRelayMode"}, {"GroupBox1"});
}

void tst_MainWindow::groupBox1NeverShowsAndItsButtonsStayDisabled() {
    Window& w = *w_;
    w.tu.show();
    auto* group = w.find("GroupBox1");
    const auto check = [&] {
        QVERIFY(!group->isVisible() || group->x() >= w.tu.width());
        for (const char* name : {"btnAddr", "btnFreq", "btnChannel"})
            QVERIFY2(!w.find(name)->isEnabled(), name);
    };
    check();
    w.find<QPushButton>("btnEntryExit")->click();
    check();
    w.tu.controls().btnBIG5->click();
    check();
    // The factory default still finds values in its scroll bars.
    QCOMPARE(w.find<QScrollBar>("sbFreq")->value(), 59);
}

void tst_MainWindow::languageButtonStoresAndReappliesTheLanguage_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("relayGroup");
    QTest::newRow("English") << "btnEng"
                             << "English" << 0 << "Quorvane Tools V0232"
                             << "Start Scan Reader!"
                             << "S/N : ________"
                             << "VER : __.__-__"
                             << "Relay Mode";
    QTest::newRow("ChineseGB") << "btnGB"
                               << "ChineseGB" << 1 << "Quorvane 工具程式 V0232"
                               << "请先扫描读卡机!"
                               << "序号 : ________"
                               << "版本 : __.__-__"
                               << "继电器模式";
    QTest::newRow("ChineseBIG5") << "btnBIG5"
                                 << "ChineseBIG5" << 2 << "Quorvane 工具程式 V0232"
                                 << "請先掃描讀卡機!"
                                 << "序號 : ________"
                                 << "版本 : __.__-__"
                                 << "繼電器模式";
}

void tst_MainWindow::languageButtonStoresAndReappliesTheLanguage() {
    QV_SKIP_ON_WINDOWS_STORE;
    QFETCH(QString, button);
    QFETCH(QString, flag);
    QFETCH(int, index);
    Window& w = *w_;
    w.tu.show();
    qv::Controls& ui = w.tu.controls();
    // A window after a discovery: widened, reader shown, status and lamp changed.
    ui.sbID->setValue(7);
    const QString idText = ui.pnID->text();
    w.find<QPushButton>("btnEntryExit")->click();
    w.values.ReaderFound = true;
    ui.pnMsg->setText("Get Reader Info Ok. (COM3)");
    ui.pnSerial->setText("S/N : SN012345");
    ui.pnVersion->setText("VER : 01.02-03");
    ui.pnCardID->setText("0012345678 / 00BC614E");
    ui.shComm->setColor(QColor(255, 255, 0));

    w.find<QPushButton>(qPrintable(button))->click();

    QCOMPARE(w.values.LanguageIndex, index);
    QCOMPARE(w.values.LanguageName, flag);
    QSettings stored(storeFile(), QSettings::IniFormat);
    QCOMPARE(stored.value("LanguageFlag").toString(), flag);
    QCOMPARE(stored.allKeys().size(), 1);

    QTEST(w.tu.windowTitle(), "caption");
    QTEST(ui.pnMsg->text(), "status");
    QTEST(ui.pnSerial->text(), "serial");
    QTEST(ui.pnVersion->text(), "version");
    QTEST(w.text("gbRelayMode"), "relayGroup");
    QCOMPARE(ui.pnCardID->text(), QString("ID"));
    QCOMPARE(w.text("btnGetRL"), QString("Get"));
    QCOMPARE(w.text("btnSerID2"), QString("Set ID (CH2) 0=Disable"));
    QCOMPARE(w.text("btnEng"), QString("English"));
    QCOMPARE(w.tu.width(), w.tu.narrowWidth());

    QVERIFY(w.values.ReaderFound);
    QCOMPARE(ui.pnID->text(), idText);
    QCOMPARE(ui.shComm->color(), QColor(255, 255, 0));
    QVERIFY(w.beeper.beeps.empty());
}

void tst_MainWindow::formShowSetsEveryTextInTheActiveLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("ChineseGB") << 1;
    QTest::newRow("ChineseBIG5") << 2;
}

void tst_MainWindow::formShowSetsEveryTextInTheActiveLanguage() {
    QFETCH(int, language);
    struct Text {
        const char* control;
        int row;
        const char* suffix;
    };
    const Text texts[] = {
        {"pnMsg", 1, ""},
        {"pnSerial", 20, " : ________"},
        {"pnVersion", 22, " : __.__-__"},
        {"lblID", 3, ":"},
        {"lblBaudRate", 4, ":"},
        {"pnCardID", 16, ""},
        {"btnScan", 19, ""},
        {"btnID", 35, ""},
        {"btnBaudRate", 5, ""},
        {"btnReadCard", 6, ""},
        {"gbDefault", 9, ""},
        {"btnFactory", 7, ""},
        {"btnExit", 13, ""},
        {"btnReset", 56, ""},
        {"btnGain", 80, ""},
        {"btnSetExciterID", 68, ""},
        {"btnGetExciterID", 71, ""},
        {"btnNoNc", 74, ""},
        {"btnSameCard", 62, ""},
        {"btnMode", 59, ""},
        {"btnAddr", 77, ""},
        {"btnFreq", 83, ""},
        {"btnChannel", 86, ""},
        {"btnSameCard2", 62, ""},
        {"btnGetID2", 14, ""},
        {"btnGetSameCard", 14, ""},
        {"gbEntryExit", 15, ""},
        {"btnSetRL", 29, ""},
        {"chkRL1En", 27, ""},
        {"chkRL2En", 27, ""},
        {"gbRelayMode", 28, ""},
        {"btnGetSameCard2", 14, ""},
        {"btnGetNoNc", 14, ""},
        {"btnGetMode", 14, ""},
        {"btnBeepOn", 89, ""},
        {"btnBeepOff", 92, ""},
        {"btnSetRSSI", 95, ""},
        {"btnGetRSSI", 98, ""},
    };
    Window& w = *w_;
    w.values.LanguageIndex = language;
    w.tu.FormShow();
    QCOMPARE(w.tu.windowTitle(), qv::Msg(0, language));
    for (const Text& t : texts)
        QCOMPARE(w.text(t.control), qv::Msg(t.row, language) + QString::fromLatin1(t.suffix));
    // Captions that no language changes.
    const std::pair<const char*, const char*> fixed[] = {
        {"btnEntryExit", ">>"}, {"lblSameCard", "Sec"},  {"Label1", "RL1 :"},
        {"Label2", "RL2:"},     {"Label3", "(0.1 Sec)"}, {"chkRL1Key", "KEY"},
        {"chkRL2Mo", "MO"},     {"rbNC", "NC"},          {"chkDO1", "DO1"}};
    for (const auto& [control, text] : fixed)
        QCOMPARE(w.text(control), QString::fromLatin1(text));
}

void tst_MainWindow::enterPressesTheFocusedButtonElseScan_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("pressed");
    QTest::newRow("scroll bar, Return") << "sbID" << int(Qt::Key_Return) << "btnScan";
    QTest::newRow("scroll bar, keypad Enter") << "sbRSSI" << int(Qt::Key_Enter) << "btnScan";
    QTest::newRow("check box") << "chkDO1" << int(Qt::Key_Return) << "btnScan";
    QTest::newRow("list") << "cmbWiegand" << int(Qt::Key_Return) << "btnScan";
    QTest::newRow("Scan itself") << "btnScan" << int(Qt::Key_Return) << "btnScan";
    QTest::newRow("another button") << "btnID" << int(Qt::Key_Return) << "btnID";
    QTest::newRow("button in a group") << "btnGetRSSI" << int(Qt::Key_Enter) << "btnGetRSSI";
}

void tst_MainWindow::enterPressesTheFocusedButtonElseScan() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QString, pressed);
    Window& w = *w_;
    w.tu.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.tu));
    QWidget* target = w.find(qPrintable(focus));
    target->setFocus();
    QCOMPARE(QApplication::focusWidget(), target);

    QSignalSpy scan(w.tu.controls().btnScan, &QPushButton::clicked);
    QSignalSpy other(w.find<QPushButton>(qPrintable(pressed)), &QPushButton::clicked);
    QTest::keyClick(target, Qt::Key(key));
    QCOMPARE(other.count(), 1);
    QCOMPARE(scan.count(), pressed == "btnScan" ? 1 : 0);
}

void tst_MainWindow::onlyExitClosesTheWindow() {
    Window& w = *w_;
    const Qt::WindowFlags flags = w.tu.windowFlags();
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);

    w.tu.show();
    QVERIFY(!w.tu.close()); // what a window manager's close request amounts to
    QVERIFY(w.tu.isVisible());
    QTest::mouseClick(w.tu.controls().btnExit, Qt::LeftButton);
    QVERIFY(!w.tu.isVisible());
}

void tst_MainWindow::tabOrderFollowsTheDesign() {
    Window& w = *w_;
    w.tu.show();
    QStringList order;
    QWidget* next = w.tu.controls().btnScan;
    do {
        if ((next->focusPolicy() & Qt::TabFocus) && next->isVisibleTo(&w.tu))
            order << next->objectName();
        next = next->nextInFocusChain();
    } while (next != w.tu.controls().btnScan && order.size() < 28);
    const QStringList expected = {
        "btnScan", "sbID", "btnID", "cmbBaudRate", "btnBaudRate", "btnReadCard", "btnExit",
        // the parameter group, by its own tab order
        "btnFactory", "btnReset", "btnSetRSSI", "sbRSSI", "btnBeepOn", "btnBeepOff", "btnGetRSSI",
        "btnGain", "sbGainLevel", "btnSetExciterID", "sbExciterID2", "sbExciterID1",
        "btnGetExciterID",
        // back in the window
        "btnEng", "btnGB", "btnBIG5", "chkLock", "btnSameCard", "btnNoNc", "rbNO", "rbNC"};
    QCOMPARE(order, expected);
}

void tst_MainWindow::scrollBarsRewriteTheirPanelsOnlyWhenMoved_data() {
    QTest::addColumn<QString>("bar");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("position");
    QTest::newRow("sbID") << "sbID"
                          << "pnID" << 7;
    QTest::newRow("sbSameCard") << "sbSameCard"
                                << "pnSameCard" << 25;
    QTest::newRow("sbRSSI") << "sbRSSI"
                            << "pnRSSI" << 120;
    QTest::newRow("sbGainLevel") << "sbGainLevel"
                                 << "pnGain" << 3;
    QTest::newRow("sbExciterID1") << "sbExciterID1"
                                  << "pnExciterID1" << 4660;
    QTest::newRow("sbExciterID2") << "sbExciterID2"
                                  << "pnExciterID2" << 17;
    QTest::newRow("sbID2") << "sbID2"
                           << "pnID2" << 9;
    QTest::newRow("sbSameCard2") << "sbSameCard2"
                                 << "pnSameCard2" << 30;
    QTest::newRow("sbRL1") << "sbRL1"
                           << "pnRL1" << 55;
    QTest::newRow("sbRL2") << "sbRL2"
                           << "pnRL2" << 66;
    QTest::newRow("sbAddr") << "sbAddr"
                            << "pnAddr" << 200;
    QTest::newRow("sbFreq") << "sbFreq"
                            << "pnFreq" << 77;
    QTest::newRow("sbChannel") << "sbChannel"
                               << "pnChannel" << 5;
}

void tst_MainWindow::scrollBarsRewriteTheirPanelsOnlyWhenMoved() {
    QFETCH(QString, bar);
    QFETCH(QString, panel);
    QFETCH(int, position);
    Window& w = *w_;
    w.tu.show();
    auto* scroll = w.find<QScrollBar>(qPrintable(bar));
    auto* label = w.find<QLabel>(qPrintable(panel));
    const QString start = label->text();
    scroll->setValue(scroll->value()); // no move, no handler
    QCOMPARE(label->text(), start);
    scroll->setValue(position);
    QVERIFY2(label->text() != start, qPrintable(label->text()));
    QVERIFY2(label->text().contains(QString::number(position)) ||
                 label->text().contains(QString::number(position, 16), Qt::CaseInsensitive),
             qPrintable(label->text()));
}

void tst_MainWindow::baudRateListReportsEveryCloseUp() {
    Window& w = *w_;
    w.tu.show();
    auto* list = qobject_cast<qv::CloseUpComboBox*>(w.find<QComboBox>("cmbBaudRate"));
    QVERIFY(list);
    QSignalSpy closeUps(list, &qv::CloseUpComboBox::closedUp);

    list->setCurrentIndex(2); // a change without the list: no close-up
    QCOMPARE(closeUps.count(), 0);
    QCOMPARE(w.values.ScanSettingsIndex, 5);

    list->showPopup();
    list->hidePopup();
    QCOMPARE(closeUps.count(), 1);
    QCoreApplication::processEvents(); // the handler runs once the closing event is done
    QCOMPARE(w.values.ScanSettingsIndex, 2);
    QCOMPARE(w.values.ScanSettings, QString("9600,n,8,1"));

    list->showPopup();
    list->hidePopup(); // closed again without a change: runs again
    QCOMPARE(closeUps.count(), 2);

    // Hiding the window hides the list too, which is no close-up.
    w.tu.controls().btnExit->click();
    QCOMPARE(closeUps.count(), 2);
}

// A port number under the lamp ("COM : #1" for COM12) would be misread at the bench.
void tst_MainWindow::statusLinesClearTheLamp() {
    QV_SKIP_ON_WINDOWS_FONTS;
    Window& w = *w_;
    w.tu.show();
    auto* panel = dynamic_cast<qv::design::StatusPanel*>(w.find<QLabel>("pnMsg"));
    QWidget* lamp = w.find("shComm");
    QVERIFY(panel && lamp);
    QVERIFY2(panel->textArea().right() < lamp->x(),
             qPrintable(QString::number(panel->textArea().right())));
    const QStringList lines = {
        QStringLiteral("Get Reader Info Error. (COM : #16)"),
        QStringLiteral("Get Reader Info Ok. (COM : #12)"),
        QStringLiteral("Set Reader BaudRate = 115200,e,8,1"),
        QStringLiteral("Set Reader BaudRate Error"),
        QStringLiteral("Open COM : 16 Error"),
        QStringLiteral("0000000000000000"),
        QString::fromUtf8("读取读卡机资讯错误. (串口 : #16)"),
        QString::fromUtf8("讀取讀卡機資訊錯誤. (串口 : #16)"),
        QString::fromUtf8("设定读卡机通讯速度 = 115200,e,8,1"),
    };
    for (const QString& line : lines)
        QVERIFY2(QFontMetrics(panel->font()).horizontalAdvance(line) <= panel->textArea().width(),
                 qPrintable(line));
    // As drawn: no white text pixel right of the lamp's left edge.
    const QString shown = panel->text();
    panel->setText(lines.first());
    const QImage image = panel->grab().toImage();
    panel->setText(shown);
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = lamp->x(); x < image.width() - 2; ++x)
            QVERIFY2(image.pixelColor(x, y) != QColor(Qt::white),
                     qPrintable(QStringLiteral("white at %1,%2").arg(x).arg(y)));
}

void tst_MainWindow::everyControlHasAToolTipInTheActiveLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("button");
    // English last: the tooltips must follow back from Chinese.
    QTest::newRow("ChineseGB") << 1 << "btnGB";
    QTest::newRow("ChineseBIG5") << 2 << "btnBIG5";
    QTest::newRow("English") << 0 << "btnEng";
}

void tst_MainWindow::everyControlHasAToolTipInTheActiveLanguage() {
    QFETCH(int, language);
    QFETCH(QString, button);
    Window& w = *w_;
    w.tu.show();
    w.find<QPushButton>(button.toLatin1().constData())->click();
    QStringList missing;
    for (QWidget* control : w.tu.findChildren<QWidget*>()) {
        const QString name = control->objectName();
        // Qt's own inner widgets, and GroupBox1, which nobody ever sees.
        if (name.isEmpty() || name.startsWith("qt_") || name == "GroupBox1" ||
            control->parentWidget()->objectName() == "GroupBox1")
            continue;
        if (control->toolTip().isEmpty())
            missing << name;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(' ')));
    // One sentence a line.
    const QStringList lock = w.find("chkLock")->toolTip().split('\n');
    QCOMPARE(lock.size(), 3);
    QCOMPARE(lock.join(language == 0 ? " " : ""), qv::Msg(qv::msg::TipLock, language));
    // The ranges are the parameters' bounds, in the panels' digits.
    const QString relayTime[] = {
        "Relay time in tenths of a second, 0 to 250 (0 to 25.0 seconds).",
        QString::fromUtf8("继电器动作时间，单位 0.1 秒，0 到 250（0 到 25.0 秒）。"),
        QString::fromUtf8("繼電器動作時間，單位 0.1 秒，0 到 250（0 到 25.0 秒）。")};
    QCOMPARE(w.find("sbRL2")->toolTip(), relayTime[language]);
    QVERIFY(w.find("sbID")->toolTip().contains("01"));
    QVERIFY(w.find("sbID")->toolTip().contains("99"));
    QVERIFY(w.find("sbExciterID1")->toolTip().contains("0000"));
    QVERIFY(w.find("sbExciterID1")->toolTip().contains("FFFF"));
    QVERIFY(w.find("btnScan")->toolTip().contains("COM16"));
    QCOMPARE(w.find("btnGetRL")->toolTip(), qv::Msg(qv::msg::TipGetValue, language));
    QCOMPARE(w.tu.statusToolTip(), qv::ToolTipText(qv::msg::TipStatus, language));
}

void tst_MainWindow::lampsShowTheirToolTipsAndPassClicksOn_data() {
    QTest::addColumn<QString>("lamp");
    QTest::newRow("shComm") << "shComm";
    QTest::newRow("shCard") << "shCard";
}

// The mouse over a lamp shows the lamp's tooltip; a press there still reaches the widget the lamp
// sits on, and a right click still opens the window's menu.
void tst_MainWindow::lampsShowTheirToolTipsAndPassClicksOn() {
    QFETCH(QString, lamp);
    Window& w = *w_;
    w.tu.show();
    w.tu.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.tu));
    QWidget* shape = w.find(qPrintable(lamp));
    QWidget* beneath = shape->parentWidget();
    QVERIFY(!shape->toolTip().isEmpty());
    QVERIFY(shape->toolTip() != beneath->toolTip());
    const QPoint centre = shape->rect().center();
    const QPoint at = shape->mapTo(&w.tu, centre);
    QWindow* window = w.tu.windowHandle();

    QTest::mouseMove(window, at);
    QTRY_COMPARE(QToolTip::text(), shape->toolTip());
    QToolTip::hideText();

    PressRecorder recorder;
    beneath->installEventFilter(&recorder);
    QTest::mouseClick(window, Qt::LeftButton, {}, at);
    QCOMPARE(recorder.presses, QList<QPoint>{shape->mapToParent(centre)});

    QVERIFY(!QApplication::activePopupWidget());
    QTest::mouseClick(window, Qt::RightButton, {}, at);
    QTRY_VERIFY(QApplication::activePopupWidget());
    // The menu opens the windows beside this one, each with its function key.
    QStringList entries;
    for (const QAction* action : QApplication::activePopupWidget()->actions())
        entries << action->text() + " " + action->shortcut().toString();
    QCOMPARE(entries, QStringList({"Traffic F2", "TAG History F3", "Ports F4"}));
    QApplication::activePopupWidget()->close();
}

void tst_MainWindow::functionKeysOpenTheWindowsBesideIt() {
    Window& w = *w_;
    w.tu.show();
    w.tu.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.tu));
    const QRect before = w.tu.geometry();
    QVERIFY(!w.tu.trafficWindow() && !w.tu.tagHistoryWindow());
    QTest::keyClick(&w.tu, Qt::Key_F2);
    QVERIFY(w.tu.trafficWindow() && w.tu.trafficWindow()->isVisible());
#ifndef Q_OS_WIN // the offscreen platform on Windows has no fonts at all
    // Its columns line up in a face the platform has.
    QVERIFY(QFontInfo(w.tu.trafficWindow()->view()->font()).fixedPitch());
#endif
    QTest::keyClick(QApplication::activeWindow(), Qt::Key_F3);
    QVERIFY(w.tu.tagHistoryWindow() && w.tu.tagHistoryWindow()->isVisible());
    QVERIFY(!w.tu.portsWindow());
    QTest::keyClick(QApplication::activeWindow(), Qt::Key_F4);
    QVERIFY(w.tu.portsWindow() && w.tu.portsWindow()->isVisible());
    QVERIFY(w.tu.portsWindow()->parent() == nullptr);
    // Windows of their own: none of the main window's controls, which keeps its place and size.
    QVERIFY(w.tu.trafficWindow()->isWindow() && w.tu.trafficWindow()->parent() == nullptr);
    QVERIFY(w.tu.tagHistoryWindow()->parent() == nullptr);
    QCOMPARE(w.tu.geometry(), before);
    w.find<QPushButton>("btnBIG5")->click();
    QCOMPARE(w.tu.trafficWindow()->windowTitle(), QString::fromUtf8("通訊記錄"));
    QCOMPARE(w.tu.tagHistoryWindow()->windowTitle(), QString::fromUtf8("TAG 記錄"));
    QCOMPARE(w.tu.portsWindow()->windowTitle(), QString::fromUtf8("串口"));
    // Exit ends the program, the two windows with it.
    w.find<QPushButton>("btnExit")->click();
    QVERIFY(!w.tu.isVisible());
    QVERIFY(!w.tu.trafficWindow()->isVisible() && !w.tu.tagHistoryWindow()->isVisible());
    QVERIFY(!w.tu.portsWindow()->isVisible());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_main_window.moc"
