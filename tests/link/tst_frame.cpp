// The frame codec against frames worked out by hand, byte by byte.

#include "link/protocol/frame.h"

#include <QtTest>

#include <cstdio>
#include <vector>

using namespace qv::link;

namespace {
QByteArray Bytes(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<int>(v.size()));
}
} // namespace

class TstFrame : public QObject {
    Q_OBJECT
private slots:
    void commandFrameMatchesHandWorkedBytes_data();
    void commandFrameMatchesHandWorkedBytes();
    void commandChecksumStartsFromTab();
    void byteToHexGivesUpperCaseDigitsForEveryValue();
    void replyChecksum_data();
    void replyChecksum();
    void commandTextIsCutAt255Characters();
};

void TstFrame::commandFrameMatchesHandWorkedBytes_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("identity A00B")
        << QByteArray("A00B") << QByteArray("\x09\x41\x30\x30\x42\x30\x41\x0D");
    QTest::newRow("reset A00HR") << QByteArray("A00HR")
                                 << QByteArray("\x09\x41\x30\x30\x48\x52\x35\x32\x0D");
    QTest::newRow("factory A00X5A")
        << QByteArray("A00X5A") << QByteArray("\x09\x41\x30\x30\x58\x35\x41\x36\x34\x0D");
    // 09^41=48 ^30=78 ^30=48 ^4E=06 ^30=36 ^30=06 ^31=37 ^30=07 -> "07"
    QTest::newRow("same card A00N0010")
        << QByteArray("A00N0010") << QByteArray("\x09\x41\x30\x30\x4E\x30\x30\x31\x30\x30\x37\x0D");
    // An empty text still gets its checksum: 0x09 -> "09".
    QTest::newRow("empty text") << QByteArray("") << QByteArray("\x09\x30\x39\x0D");
}

void TstFrame::commandFrameMatchesHandWorkedBytes() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, frame);
    QCOMPARE(Bytes(BuildCommandFrame(command.toStdString())), frame);
}

void TstFrame::commandChecksumStartsFromTab() {
    const std::uint8_t text[] = {'A', '0', '0', 'B'};
    QCOMPARE(int(CommandChecksum(text, 4)), 0x0A);
    QCOMPARE(int(CommandChecksum(text, 0)), 0x09);
    const std::uint8_t reset[] = {'A', '0', '0', 'H', 'R'};
    QCOMPARE(int(CommandChecksum(reset, 5)), 0x52);
}

void TstFrame::byteToHexGivesUpperCaseDigitsForEveryValue() {
    for (int value = 0; value < 256; ++value) {
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X", value);
        const auto digits = ByteToHex(static_cast<std::uint8_t>(value));
        QVERIFY2(digits[0] == expected[0] && digits[1] == expected[1],
                 qPrintable(QString("value %1").arg(value)));
    }
}

void TstFrame::replyChecksum_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("valid");
    QTest::newRow("smallest reply 0A 30 41 0D") << QByteArray("\x0A\x30\x41\x0D") << true;
    // 0A ^ 30 = 3A
    QTest::newRow("payload 0, digits 3A") << QByteArray("\x0A\x30\x33\x41\x0D") << true;
    QTest::newRow("payload 0, lower-case 3a") << QByteArray("\x0A\x30\x33\x61\x0D") << false;
    QTest::newRow("digits swapped") << QByteArray("\x0A\x30\x41\x33\x0D") << false;
    QTest::newRow("LF CR alone") << QByteArray("\x0A\x0D") << false;
    QTest::newRow("three bytes") << QByteArray("\x0A\x41\x0D") << false;
    // Identity reply "A01B12345678": 0A^41^30^31^42 = 08, 31^..^38 = 08, sum 00.
    QTest::newRow("identity reply") << QByteArray("\x0A"
                                                  "A01B12345678"
                                                  "00\x0D")
                                    << true;
    // The CR is not examined by the checksum itself.
    QTest::newRow("last byte not CR") << QByteArray("\x0A\x30\x41\x00", 4) << true;
}

void TstFrame::replyChecksum() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, valid);
    QCOMPARE(VerifyReplyChecksum(reinterpret_cast<const std::uint8_t*>(reply.constData()),
                                 static_cast<int>(reply.size())),
             valid);
}

void TstFrame::commandTextIsCutAt255Characters() {
    const std::string longText(300, 'A');
    const auto frame = BuildCommandFrame(longText);
    QCOMPARE(int(frame.size()), 259);
    // 255 'A's: an odd count XORs to 0x41; 0x09 ^ 0x41 = 0x48.
    QCOMPARE(int(frame[256]), int('4'));
    QCOMPARE(int(frame[257]), int('8'));
    QCOMPARE(int(frame[258]), 0x0D);
}

QTEST_APPLESS_MAIN(TstFrame)
#include "tst_frame.moc"
