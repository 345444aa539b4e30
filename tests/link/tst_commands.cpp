// Every command text the link builds, written out literally.

#include "link/protocol/commands.h"

#include <QtTest>

using namespace qv::link;

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
QString Q(const std::optional<std::string>& s) {
    return s ? Q(*s) : QString("<none>");
}
} // namespace

class TstCommands : public QObject {
    Q_OBJECT
private slots:
    void buildsCommandTexts_data();
    void buildsCommandTexts();
    void baudRateCodeForEverySettingsIndex_data();
    void baudRateCodeForEverySettingsIndex();
    void modeOutsideTheListsBuildsNothing_data();
    void modeOutsideTheListsBuildsNothing();
    void gainBytesInLevelOrder();
    void settingsIndexRange();
};

void TstCommands::buildsCommandTexts_data() {
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    QTest::newRow("identity") << Q(cmd::Identity()) << "A00B";
    QTest::newRow("version") << Q(cmd::Version()) << "A00V";
    QTest::newRow("poll") << Q(cmd::Poll()) << "A00I";
    QTest::newRow("outputs none") << Q(cmd::Outputs(false, false)) << "A00I0";
    QTest::newRow("outputs DO2") << Q(cmd::Outputs(false, true)) << "A00I1";
    QTest::newRow("outputs DO1") << Q(cmd::Outputs(true, false)) << "A00I2";
    QTest::newRow("outputs both") << Q(cmd::Outputs(true, true)) << "A00I3";
    QTest::newRow("tag ack") << Q(cmd::TagAck()) << "A00J";
    QTest::newRow("set reader ID") << Q(cmd::SetReaderId("12345678", "07")) << "A00C1234567807";
    QTest::newRow("factory default") << Q(cmd::FactoryDefault()) << "A00X5A";
    QTest::newRow("reset") << Q(cmd::Reset()) << "A00HR";
    QTest::newRow("same card 0010") << Q(cmd::SetSameCard("0010")) << "A00N0010";
    QTest::newRow("same card 0000") << Q(cmd::SetSameCard("0000")) << "A00N0000";
    QTest::newRow("same card 9999") << Q(cmd::SetSameCard("9999")) << "A00N9999";
    QTest::newRow("get same card") << Q(cmd::GetSameCard()) << "A00N";
    QTest::newRow("DI5 NO") << Q(cmd::SetNoNc(true)) << "A00M1";
    QTest::newRow("DI5 NC") << Q(cmd::SetNoNc(false)) << "A00M0";
    QTest::newRow("get DI5") << Q(cmd::GetNoNc()) << "A00M";
    QTest::newRow("mode 32 bits, Wiegand 26") << Q(cmd::SetMode(1, 1)) << "A00L10";
    QTest::newRow("mode 64 bits, Wiegand off") << Q(cmd::SetMode(3, 0)) << "A00L3N";
    QTest::newRow("mode 24 bits, Wiegand off") << Q(cmd::SetMode(0, 0)) << "A00L0N";
    QTest::newRow("mode 40 bits, Wiegand 35") << Q(cmd::SetMode(2, 4)) << "A00L23";
    QTest::newRow("get mode") << Q(cmd::GetMode()) << "A00L";
    QTest::newRow("ID2 0") << Q(cmd::SetId2(0)) << "A00Q00";
    QTest::newRow("ID2 10") << Q(cmd::SetId2(10)) << "A00Q0A";
    QTest::newRow("ID2 99") << Q(cmd::SetId2(99)) << "A00Q63";
    QTest::newRow("get ID2") << Q(cmd::GetId2()) << "A00Q";
    QTest::newRow("RSSI 110") << Q(cmd::SetRssi(110)) << "A00O6E";
    QTest::newRow("RSSI 0") << Q(cmd::SetRssi(0)) << "A00O00";
    QTest::newRow("RSSI 250") << Q(cmd::SetRssi(250)) << "A00OFA";
    QTest::newRow("get RSSI") << Q(cmd::GetRssi()) << "A00O";
    QTest::newRow("beep on") << Q(cmd::Beep(true)) << "A00HS1";
    QTest::newRow("beep off") << Q(cmd::Beep(false)) << "A00HS0";
    QTest::newRow("gain level 7") << Q(cmd::SetGain(7)) << "A00W1C01C7";
    QTest::newRow("gain level 1") << Q(cmd::SetGain(1)) << "A00W1C0138";
    QTest::newRow("gain level 0") << Q(cmd::SetGain(0)) << "<none>";
    QTest::newRow("gain level 8") << Q(cmd::SetGain(8)) << "<none>";
    QTest::newRow("exciter IDs") << Q(cmd::SetExciterIds("1234", "00FF")) << "A00P123400FF";
    QTest::newRow("get exciter IDs") << Q(cmd::GetExciterIds()) << "A00P";
    QTest::newRow("address 49") << Q(cmd::SetAddress(49)) << "A00W060131";
    QTest::newRow("frequency 59") << Q(cmd::SetFrequency(59)) << "A00W0F013B";
    QTest::newRow("channel 0") << Q(cmd::SetChannel(0)) << "A00W0B0100";
    QTest::newRow("channel 255") << Q(cmd::SetChannel(255)) << "A00W0B01FF";
    QTest::newRow("relays start values") << Q(cmd::SetRelays(1, 10, 3, 10)) << "A00R010A030A";
    QTest::newRow("relays all on, 250") << Q(cmd::SetRelays(7, 250, 7, 250)) << "A00R07FA07FA";
    QTest::newRow("relays all off, 0") << Q(cmd::SetRelays(0, 0, 0, 0)) << "A00R00000000";
    QTest::newRow("relays RL2 MO, times 0 and 1")
        << Q(cmd::SetRelays(0, 0, 4, 1)) << "A00R00000401";
    QTest::newRow("get relays") << Q(cmd::GetRelays()) << "A00R";
    // A stray value never widens a two-digit field.
    QTest::newRow("RSSI 300 held at FF") << Q(cmd::SetRssi(300)) << "A00OFF";
    QTest::newRow("ID2 -1 held at 00") << Q(cmd::SetId2(-1)) << "A00Q00";
}

void TstCommands::buildsCommandTexts() {
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

void TstCommands::baudRateCodeForEverySettingsIndex_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    const char* texts[] = {"A00E0", "A00E1", "A00E2", "A00E3", "A00E4", "A00E5",
                           "A00E6", "A00E7", "A00E8", "A00E9", "A00EA", "A00EB"};
    for (int i = 0; i < 12; ++i)
        QTest::addRow("index %d", i) << i << texts[i];
    QTest::newRow("index -1") << -1 << "<none>";
    QTest::newRow("index 12") << 12 << "<none>";
}

void TstCommands::baudRateCodeForEverySettingsIndex() {
    QFETCH(int, index);
    QFETCH(QString, expected);
    QCOMPARE(Q(cmd::SetBaudRate(index)), expected);
}

void TstCommands::modeOutsideTheListsBuildsNothing_data() {
    QTest::addColumn<int>("rs485");
    QTest::addColumn<int>("wiegand");
    QTest::newRow("RS485 -1") << -1 << 1;
    QTest::newRow("RS485 4") << 4 << 1;
    QTest::newRow("Wiegand -1") << 1 << -1;
    QTest::newRow("Wiegand 5") << 1 << 5;
}

void TstCommands::modeOutsideTheListsBuildsNothing() {
    QFETCH(int, rs485);
    QFETCH(int, wiegand);
    QVERIFY(!cmd::SetMode(rs485, wiegand).has_value());
}

void TstCommands::gainBytesInLevelOrder() {
    const int expected[] = {0x38, 0x3F, 0xBF, 0x1F, 0xDF, 0x87, 0xC7};
    for (int level = 1; level <= 7; ++level)
        QCOMPARE(cmd::GainByte(level).value_or(-1), expected[level - 1]);
    QVERIFY(!cmd::GainByte(0));
    QVERIFY(!cmd::GainByte(8));
}

void TstCommands::settingsIndexRange() {
    QVERIFY(!IsSettingsIndex(-1));
    QVERIFY(IsSettingsIndex(0));
    QVERIFY(IsSettingsIndex(11));
    QVERIFY(!IsSettingsIndex(12));
}

QTEST_APPLESS_MAIN(TstCommands)
#include "tst_commands.moc"
