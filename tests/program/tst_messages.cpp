// The message table: its size, that the Chinese columns are really GB2312 and Big5 text, sample
// rows against texts written out by hand, and that the named rows point at the right messages.
#include "program/messages.h"

#include <QStringEncoder>
#include <QTest>
#include <cstring>

using qv::Msg;

class tst_Messages : public QObject {
    Q_OBJECT
private slots:
    void hasEveryRowAndNothingBeyond();
    void chineseColumnsEncodeInTheirCodePages();
    void englishColumnIsPlainAscii();
    void sampleRows_data();
    void sampleRows();
    void namedRowsHoldTheirEnglishText_data();
    void namedRowsHoldTheirEnglishText();
};

void tst_Messages::hasEveryRowAndNothingBeyond() {
    QVERIFY(qv::kMessageCount > 100); // the designed rows, and the program's own after them
    for (int k = 0; k < qv::kMessageCount; ++k)
        for (int lang = 0; lang < 3; ++lang)
            QVERIFY2(std::strlen(qv::MessageText(k, lang)) > 0, qPrintable(QString::number(k)));
    // Outside the table: the empty text, never a read past its end.
    QCOMPARE(qv::MessageText(qv::kMessageCount, 0), "");
    QCOMPARE(qv::MessageText(-1, 0), "");
    QCOMPARE(qv::MessageText(0, 3), "");
    QCOMPARE(qv::MessageText(0, -1), "");
}

void tst_Messages::chineseColumnsEncodeInTheirCodePages() {
    QStringEncoder gb("GB2312");
    QStringEncoder big5("Big5");
    QVERIFY2(gb.isValid(), "no GB2312 encoder in this Qt build");
    QVERIFY2(big5.isValid(), "no Big5 encoder in this Qt build");
    for (int k = 0; k < qv::kMessageCount; ++k) {
        const QByteArray gbBytes = gb.encode(Msg(k, 1));
        QVERIFY2(!gb.hasError(), qPrintable(QStringLiteral("GB2312, row %1").arg(k)));
        const QByteArray big5Bytes = big5.encode(Msg(k, 2));
        QVERIFY2(!big5.hasError(), qPrintable(QStringLiteral("Big5, row %1").arg(k)));
        // A character that does not exist in the code page would come out as '?'.
        QVERIFY2(!gbBytes.contains('?') && !big5Bytes.contains('?'),
                 qPrintable(QString::number(k)));
    }
}

void tst_Messages::englishColumnIsPlainAscii() {
    for (int k = 0; k < qv::kMessageCount; ++k)
        for (const char* p = qv::MessageText(k, 0); *p; ++p)
            QVERIFY2(static_cast<unsigned char>(*p) >= 0x20 &&
                         static_cast<unsigned char>(*p) < 0x7f,
                     qPrintable(QString::number(k)));
}

void tst_Messages::sampleRows_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("gb");
    QTest::addColumn<QString>("big5");
    QTest::newRow("0 caption, same in both Chinese columns") << 0 << "Quorvane Tools V0232"
                                                             << "Quorvane 工具程式 V0232"
                                                             << "Quorvane 工具程式 V0232";
    QTest::newRow("1 ASCII exclamation mark") << 1 << "Start Scan Reader!"
                                              << "请先扫描读卡机!"
                                              << "請先掃描讀卡機!";
    QTest::newRow("3 reader-ID label") << 3 << "ID"
                                       << "编号"
                                       << "編號";
    QTest::newRow("16 tag-ID panel, same everywhere") << 16 << "ID"
                                                      << "ID"
                                                      << "ID";
    QTest::newRow("21 unused row keeps its place") << 21 << "No"
                                                   << "流水号"
                                                   << "流水號";
    QTest::newRow("24 trailing open bracket") << 24 << "Get Reader Info Ok. (COM"
                                              << "读取读卡机资讯完成. (串口"
                                              << "讀取讀卡機資訊完成. (串口";
    QTest::newRow("62 set same card") << 62 << "Set Same Card"
                                      << "设定相同卡"
                                      << "設定相同卡";
    QTest::newRow("75 blanks around ASCII") << 75 << "Set DI5 NO/NC Ok"
                                            << "设定 DI5 NO/NC 完成"
                                            << "設定 DI5 NO/NC 完成";
    QTest::newRow("92 beep off") << 92 << "Set Beep OFF"
                                 << "设定声音关闭"
                                 << "設定聲音關閉";
    QTest::newRow("100 last row") << 100 << "Get RSSI Error"
                                  << "读回RSSI错误"
                                  << "讀回RSSI錯誤";
}

void tst_Messages::sampleRows() {
    QFETCH(int, row);
    QFETCH(QString, english);
    QFETCH(QString, gb);
    QFETCH(QString, big5);
    QCOMPARE(Msg(row, 0), english);
    QCOMPARE(Msg(row, 1), gb);
    QCOMPARE(Msg(row, 2), big5);
}

void tst_Messages::namedRowsHoldTheirEnglishText_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("english");
    QTest::newRow("Caption") << int(qv::msg::Caption) << "Quorvane Tools V0232";
    QTest::newRow("CancelReadTag") << int(qv::msg::CancelReadTag) << "Cancel Read TAG";
    QTest::newRow("IdLabel") << int(qv::msg::IdLabel) << "ID";
    QTest::newRow("SetReaderBaudRateButton")
        << int(qv::msg::SetReaderBaudRateButton) << "Set Reader Baud Rate";
    QTest::newRow("Exit") << int(qv::msg::Exit) << "Exit";
    QTest::newRow("TagId") << int(qv::msg::TagId) << "ID";
    QTest::newRow("OpenCom") << int(qv::msg::OpenCom) << "Open COM";
    QTest::newRow("GetReaderInfoError")
        << int(qv::msg::GetReaderInfoError) << "Get Reader Info Error. (COM";
    QTest::newRow("ReaderNotFind") << int(qv::msg::ReaderNotFind) << "Reader Not Find";
    QTest::newRow("SetReaderIdOk") << int(qv::msg::SetReaderIdOk) << "Set Reader ID Ok";
    QTest::newRow("GetId2Error") << int(qv::msg::GetId2Error) << "Get ID2 Error";
    QTest::newRow("SetReaderBaudRate") << int(qv::msg::SetReaderBaudRate) << "Set Reader BaudRate";
    QTest::newRow("ReaderResetError") << int(qv::msg::ReaderResetError) << "Reader Reset Error";
    QTest::newRow("GetSameCardOk") << int(qv::msg::GetSameCardOk) << "Get Same Card Ok";
    QTest::newRow("GetExciterId") << int(qv::msg::GetExciterId) << "Get Exciter ID";
    QTest::newRow("Di5NoNc") << int(qv::msg::Di5NoNc) << "DI5 NO/NC";
    QTest::newRow("SetChannelError") << int(qv::msg::SetChannelError) << "Set Channel Error";
    QTest::newRow("SetBeepOffOk") << int(qv::msg::SetBeepOffOk) << "Set Beep OFF Ok";
    QTest::newRow("GetRssiOk") << int(qv::msg::GetRssiOk) << "Get RSSI Ok";
}

void tst_Messages::namedRowsHoldTheirEnglishText() {
    QFETCH(int, row);
    QFETCH(QString, english);
    QCOMPARE(Msg(row, 0), english);
}

QTEST_APPLESS_MAIN(tst_Messages)
#include "tst_messages.moc"
