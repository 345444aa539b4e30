// The message table: its size (the designed rows and the ones added after them), that the Chinese
// columns are really GB2312 and Big5 text, sample rows against texts written out by hand, and that
// the named rows point at the right messages (every designed one, samples of the others).
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
    void designedNamedRowsHoldTheirEnglishText();
    void programRowsHoldTheirEnglishText_data();
    void programRowsHoldTheirEnglishText();
};

void tst_Messages::hasEveryRowAndNothingBeyond() {
    QCOMPARE(qv::kMessageCount, 206); // the designed rows, and the program's own after them
    QCOMPARE(qv::kDesignedMessageCount, 101);
    for (int k = 0; k < qv::kMessageCount; ++k)
        for (int lang = 0; lang < 3; ++lang)
            QVERIFY2(std::strlen(qv::MessageText(k, lang)) > 0, qPrintable(QString::number(k)));
    // Outside the table: the empty text, never a read past its end.
    QCOMPARE(qv::MessageText(206, 0), "");
    QCOMPARE(qv::MessageText(-1, 0), "");
    QCOMPARE(qv::MessageText(0, 3), "");
    QCOMPARE(qv::MessageText(0, -1), "");
}

void tst_Messages::chineseColumnsEncodeInTheirCodePages() {
#ifdef Q_OS_WIN
    // Qt built for MinGW has no GB2312 or Big5 codec; the program keeps its texts in UTF-8.
    QSKIP("no GB2312 or Big5 codec in Qt for Windows");
#endif
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
    QTest::newRow("100 last designed row") << 100 << "Get RSSI Error"
                                           << "读回RSSI错误"
                                           << "讀回RSSI錯誤";
    QTest::newRow("101 first added row") << 101 << "Traffic"
                                         << "通讯记录"
                                         << "通訊記錄";
    QTest::newRow("127 full-width brackets and a shell command")
        << 127
        << "no permission: join the dialout group (sudo adduser $USER dialout, then log in again)"
        << "没有权限：请加入 dialout 组（sudo adduser $USER dialout，然后重新登录）"
        << "沒有權限：請加入 dialout 群組（sudo adduser $USER dialout，然後重新登入）";
    QTest::newRow("141 lock box")
        << 141
        << "Lock the line setting. Ticked: the scan tries only the selected line setting on each "
           "port. Clear: it tries all twelve."
        << "锁定通讯设定。勾选：扫描时每个串口只尝试所选的通讯设定。不勾选：尝试全部十二种。"
        << "鎖定通訊設定。勾選：掃描時每個串口只嘗試所選的通訊設定。不勾選：嘗試全部十二種。";
    QTest::newRow("173 last tooltip")
        << 173 << "Relay time in tenths of a second, %1 to %2 (%3 to %4 seconds)."
        << "继电器动作时间，单位 0.1 秒，%1 到 %2（%3 到 %4 秒）。"
        << "繼電器動作時間，單位 0.1 秒，%1 到 %2（%3 到 %4 秒）。";
    QTest::newRow("174 reader not answering") << 174 << "Reader not answering"
                                              << "读卡机没有回应"
                                              << "讀卡機沒有回應";
    QTest::newRow("175 tags dropped")
        << 175 << "%1 oldest TAGs dropped: the history keeps the newest %2."
        << "已丢弃 %1 个最旧的 TAG：记录只保留最新的 %2 个。"
        << "已丟棄 %1 個最舊的 TAG：記錄只保留最新的 %2 個。";
    QTest::newRow("180 settings refused") << 180 << "the server refused the line settings"
                                          << "服务器拒绝了通讯设定"
                                          << "伺服器拒絕了通訊設定";
    QTest::newRow("196 placeholders around full-width brackets") << 196 << "%1 is %2 (fixed table)"
                                                                 << "%1 为 %2（固定对照表）"
                                                                 << "%1 為 %2（固定對照表）";
    QTest::newRow("198 last row") << 198 << "No serial port found"
                                  << "找不到串口"
                                  << "找不到串口";
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

// Every named row of the designed table against the designed English text: a name moved to the
// next row shows another message in the window.
void tst_Messages::designedNamedRowsHoldTheirEnglishText() {
    namespace msg = qv::msg;
    struct Row {
        int row;
        const char* name;
        const char* english;
    };
    const Row rows[] = {
        {msg::Caption, "Caption", "Quorvane Tools V0232"},
        {msg::StartScanReader, "StartScanReader", "Start Scan Reader!"},
        {msg::CancelReadTag, "CancelReadTag", "Cancel Read TAG"},
        {msg::IdLabel, "IdLabel", "ID"},
        {msg::BaudRate, "BaudRate", "BaudRate"},
        {msg::SetReaderBaudRateButton, "SetReaderBaudRateButton", "Set Reader Baud Rate"},
        {msg::ReadTag, "ReadTag", "Read TAG"},
        {msg::FactoryDefault, "FactoryDefault", "Factory Default"},
        {msg::ParameterSetting, "ParameterSetting", "Parameter Setting"},
        {msg::Exit, "Exit", "Exit"},
        {msg::Get, "Get", "Get"},
        {msg::EntryExitMode, "EntryExitMode", "Entry Exit Mode"},
        {msg::TagId, "TagId", "ID"},
        {msg::OpenCom, "OpenCom", "Open COM"},
        {msg::Error, "Error", "Error"},
        {msg::ScanReader, "ScanReader", "Scan Reader"},
        {msg::SerialNo, "SerialNo", "S/N"},
        {msg::Version, "Version", "VER"},
        {msg::ScanCom, "ScanCom", "Scan COM"},
        {msg::GetReaderInfoOk, "GetReaderInfoOk", "Get Reader Info Ok. (COM"},
        {msg::GetReaderInfoError, "GetReaderInfoError", "Get Reader Info Error. (COM"},
        {msg::ReaderNotFind, "ReaderNotFind", "Reader Not Find"},
        {msg::Enabled, "Enabled", "Enabled"},
        {msg::RelayMode, "RelayMode", "Relay Mode"},
        {msg::SetRelayMode, "SetRelayMode", "Set Relay Mode"},
        {msg::SetRelayModeOk, "SetRelayModeOk", "Set Relay Mode Ok"},
        {msg::SetRelayModeError, "SetRelayModeError", "Set Relay Mode Error"},
        {msg::GetRelayMode, "GetRelayMode", "Get Relay Mode"},
        {msg::GetRelayModeOk, "GetRelayModeOk", "Get Relay Mode Ok"},
        {msg::GetRelayModeError, "GetRelayModeError", "Get Relay Mode Error"},
        {msg::SetReaderId, "SetReaderId", "Set Reader ID"},
        {msg::SetReaderIdOk, "SetReaderIdOk", "Set Reader ID Ok"},
        {msg::SetReaderIdError, "SetReaderIdError", "Set Reader ID Error"},
        {msg::SetId2, "SetId2", "Set ID2"},
        {msg::SetId2Ok, "SetId2Ok", "Set ID2 Ok"},
        {msg::SetId2Error, "SetId2Error", "Set ID2 Error"},
        {msg::GetId2, "GetId2", "Get ID2"},
        {msg::GetId2Ok, "GetId2Ok", "Get ID2 Ok"},
        {msg::GetId2Error, "GetId2Error", "Get ID2 Error"},
        {msg::SetReaderBaudRate, "SetReaderBaudRate", "Set Reader BaudRate"},
        {msg::SetReaderBaudRateOk, "SetReaderBaudRateOk", "Set Reader BaudRate Ok"},
        {msg::SetReaderBaudRateError, "SetReaderBaudRateError", "Set Reader BaudRate Error"},
        {msg::SetDefault, "SetDefault", "Set Default"},
        {msg::SetDefaultOk, "SetDefaultOk", "Set Default Ok"},
        {msg::SetDefaultError, "SetDefaultError", "Set Default Error"},
        {msg::ReaderReset, "ReaderReset", "Reader Reset"},
        {msg::ReaderResetOk, "ReaderResetOk", "Reader Reset Ok"},
        {msg::ReaderResetError, "ReaderResetError", "Reader Reset Error"},
        {msg::SetReaderMode, "SetReaderMode", "Set Reader Mode"},
        {msg::SetReaderModeOk, "SetReaderModeOk", "Set Reader Mode Ok"},
        {msg::SetReaderModeError, "SetReaderModeError", "Set Reader Mode Error"},
        {msg::SetSameCard, "SetSameCard", "Set Same Card"},
        {msg::SetSameCardOk, "SetSameCardOk", "Set Same Card Ok"},
        {msg::SetSameCardError, "SetSameCardError", "Set Same Card Error"},
        {msg::GetSameCard, "GetSameCard", "Get Same Card"},
        {msg::GetSameCardOk, "GetSameCardOk", "Get Same Card Ok"},
        {msg::GetSameCardError, "GetSameCardError", "Get Same Card Error"},
        {msg::SetExciterId, "SetExciterId", "Set Exciter ID"},
        {msg::SetExciterIdOk, "SetExciterIdOk", "Set Exciter ID Ok"},
        {msg::SetExciterIdError, "SetExciterIdError", "Set Exciter ID Error"},
        {msg::GetExciterId, "GetExciterId", "Get Exciter ID"},
        {msg::GetExciterIdOk, "GetExciterIdOk", "Get Exciter ID Ok"},
        {msg::GetExciterIdError, "GetExciterIdError", "Get Exciter ID Error"},
        {msg::Di5NoNc, "Di5NoNc", "DI5 NO/NC"},
        {msg::SetDi5NoNcOk, "SetDi5NoNcOk", "Set DI5 NO/NC Ok"},
        {msg::SetDi5NoNcError, "SetDi5NoNcError", "Set DI5 NO/NC Error"},
        {msg::SetAddress, "SetAddress", "Set Address"},
        {msg::SetAddressOk, "SetAddressOk", "Set Address Ok"},
        {msg::SetAddressError, "SetAddressError", "Set Address Error"},
        {msg::SetGain, "SetGain", "Set Gain"},
        {msg::SetGainOk, "SetGainOk", "Set Gain Ok"},
        {msg::SetGainError, "SetGainError", "Set Gain Error"},
        {msg::SetFreq, "SetFreq", "Set Freq"},
        {msg::SetFreqOk, "SetFreqOk", "Set Freq Ok"},
        {msg::SetFreqError, "SetFreqError", "Set Freq Error"},
        {msg::SetChannel, "SetChannel", "Set Channel"},
        {msg::SetChannelOk, "SetChannelOk", "Set Channel Ok"},
        {msg::SetChannelError, "SetChannelError", "Set Channel Error"},
        {msg::SetBeepOn, "SetBeepOn", "Set Beep ON"},
        {msg::SetBeepOnOk, "SetBeepOnOk", "Set Beep ON Ok"},
        {msg::SetBeepOnError, "SetBeepOnError", "Set Beep ON Error"},
        {msg::SetBeepOff, "SetBeepOff", "Set Beep OFF"},
        {msg::SetBeepOffOk, "SetBeepOffOk", "Set Beep OFF Ok"},
        {msg::SetBeepOffError, "SetBeepOffError", "Set Beep OFF Error"},
        {msg::SetRssi, "SetRssi", "Set RSSI"},
        {msg::SetRssiOk, "SetRssiOk", "Set RSSI Ok"},
        {msg::SetRssiError, "SetRssiError", "Set RSSI Error"},
        {msg::GetRssi, "GetRssi", "Get RSSI"},
        {msg::GetRssiOk, "GetRssiOk", "Get RSSI Ok"},
        {msg::GetRssiError, "GetRssiError", "Get RSSI Error"},
    };
    for (const Row& r : rows)
        QVERIFY2(Msg(r.row, 0) == QString(r.english), r.name);
}

void tst_Messages::programRowsHoldTheirEnglishText_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("english");
    QTest::newRow("ReaderNotAnswering")
        << int(qv::msg::ReaderNotAnswering) << "Reader not answering";
    QTest::newRow("TagHistoryTitle") << int(qv::msg::TagHistoryTitle) << "TAG History";
    QTest::newRow("Try") << int(qv::msg::Try) << "try %1";
    QTest::newRow("ReasonNoDevice") << int(qv::msg::ReasonNoDevice) << "does not exist";
    QTest::newRow("ReasonInUse") << int(qv::msg::ReasonInUse) << "in use by another program";
    QTest::newRow("OutcomeCeiling")
        << int(qv::msg::OutcomeCeiling) << "stopped at the ceiling: the line kept talking";
    QTest::newRow("TipLock") << int(qv::msg::TipLock)
                             << "Lock the line setting. Ticked: the scan tries only the selected "
                                "line setting on each port. Clear: it tries all twelve.";
    QTest::newRow("PortsTitle") << int(qv::msg::PortsTitle) << "Ports";
    QTest::newRow("ComMappedTo") << int(qv::msg::ComMappedTo) << "%1 is mapped to %2";
    QTest::newRow("TipRelayTime")
        << int(qv::msg::TipRelayTime)
        << "Relay time in tenths of a second, %1 to %2 (%3 to %4 seconds).";
}

void tst_Messages::programRowsHoldTheirEnglishText() {
    QFETCH(int, row);
    QFETCH(QString, english);
    QCOMPARE(Msg(row, 0), english);
}

QTEST_APPLESS_MAIN(tst_Messages)
#include "tst_messages.moc"
