// The message table: its size (the designed rows and the ones added after them), that the Chinese
// columns are really GB2312 and Big5 text, sample rows against texts written out by hand, and that
// every named row points at its message.
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
    void namedRowsHoldTheirEnglishText();
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

// Every named row against its English text (the designed rows as designed, the program's own as
// shown in the window): a name moved to the next row shows another message.
void tst_Messages::namedRowsHoldTheirEnglishText() {
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
        {msg::TrafficTitle, "TrafficTitle", "Traffic"},
        {msg::TagHistoryTitle, "TagHistoryTitle", "TAG History"},
        {msg::Pause, "Pause", "Pause"},
        {msg::Resume, "Resume", "Resume"},
        {msg::Clear, "Clear", "Clear"},
        {msg::Copy, "Copy", "Copy"},
        {msg::SaveAs, "SaveAs", "Save..."},
        {msg::ExportCsv, "ExportCsv", "Export CSV..."},
        {msg::ColumnTagId, "ColumnTagId", "TAG ID"},
        {msg::ColumnDecimal, "ColumnDecimal", "Decimal"},
        {msg::ColumnHex, "ColumnHex", "Hex"},
        {msg::ColumnFirstSeen, "ColumnFirstSeen", "First seen"},
        {msg::ColumnLastSeen, "ColumnLastSeen", "Last seen"},
        {msg::ColumnCount, "ColumnCount", "Count"},
        {msg::ColumnInput, "ColumnInput", "DI"},
        {msg::Try, "Try", "try %1"},
        {msg::PortOpened, "PortOpened", "opened"},
        {msg::PortClosed, "PortClosed", "closed"},
        {msg::PortNotOpened, "PortNotOpened", "could not be opened"},
        {msg::OutcomeVerified, "OutcomeVerified", "answered, checksum verified"},
        {msg::OutcomeBadChecksum, "OutcomeBadChecksum", "answered with a bad checksum"},
        {msg::OutcomeNoReply, "OutcomeNoReply", "no reply within the limit"},
        {msg::OutcomeCeiling, "OutcomeCeiling", "stopped at the ceiling: the line kept talking"},
        {msg::ReasonNoDevice, "ReasonNoDevice", "does not exist"},
        {msg::ReasonNotSerial, "ReasonNotSerial", "not a serial device"},
        {msg::ReasonInUse, "ReasonInUse", "in use by another program"},
        {msg::ReasonNoPermission, "ReasonNoPermission",
         "no permission: join the dialout group (sudo adduser $USER dialout, then log in again)"},
        {msg::ReasonAlreadyOpen, "ReasonAlreadyOpen", "already open in this program"},
        {msg::ReasonBadSettings, "ReasonBadSettings", "line settings not understood"},
        {msg::ReasonOther, "ReasonOther", "cannot be opened for another reason"},
        {msg::PortsNotOpened, "PortsNotOpened", "Ports that could not be opened:"},
        {msg::SaveFailed, "SaveFailed", "Could not write the file"},
        {msg::TipStatus, "TipStatus",
         "Status line: what the program is doing and how the last operation ended. Right-click the "
         "window for the traffic (F2) and TAG history (F3) windows."},
        {msg::TipLinkLamp, "TipLinkLamp",
         "Link lamp: yellow, the reader answered; red, it did not; blinking, a scan or TAG reading "
         "is running."},
        {msg::TipSerial, "TipSerial", "Serial number of the reader found by the scan."},
        {msg::TipVersion, "TipVersion", "Firmware version of the reader found by the scan."},
        {msg::TipScan, "TipScan",
         "Looks for the reader on COM%1 to COM%2, first where it was found last, and shows its ID, "
         "serial number and version."},
        {msg::TipReaderId, "TipReaderId",
         "Reader ID, %1 to %2: the number the reader answers to. Move the bar to choose a new "
         "one."},
        {msg::TipSetReaderId, "TipSetReaderId", "Writes the ID chosen on the bar into the reader."},
        {msg::TipBaudRate, "TipBaudRate",
         "Line setting: baud rate, parity, data bits, stop bits. Picking an entry makes the "
         "program talk to the reader with it."},
        {msg::TipLock, "TipLock",
         "Lock the line setting. Ticked: the scan tries only the selected line setting on each "
         "port. Clear: it tries all twelve."},
        {msg::TipSetBaudRate, "TipSetBaudRate",
         "Writes the selected line setting into the reader; the program then talks to it with that "
         "setting."},
        {msg::TipSameCard, "TipSameCard",
         "Same-card time in seconds, %1 to %2: how long the reader ignores a TAG it has just "
         "read."},
        {msg::TipNoNc, "TipNoNc",
         "Contact sense of input DI5: NO normally open, NC normally closed."},
        {msg::TipSetValue, "TipSetValue", "Writes the value set beside it into the reader."},
        {msg::TipGetValue, "TipGetValue", "Reads this value back from the reader and shows it."},
        {msg::TipWiegand, "TipWiegand", "Wiegand output format, or Off."},
        {msg::TipRS485, "TipRS485", "RS485 output format: the number of ID bits sent."},
        {msg::TipTagLamp, "TipTagLamp", "TAG lamp: yellow for a second after each TAG read."},
        {msg::TipInput, "TipInput",
         "State of the digital input as the reader reports it while TAGs are read."},
        {msg::TipTagId, "TipTagId", "Last TAG read: its ID in decimal (D) and hexadecimal (H)."},
        {msg::TipOutput, "TipOutput",
         "Digital output. Ticked: switched on; the change is sent while TAGs are read."},
        {msg::TipReadTag, "TipReadTag", "Reads TAGs without pause until clicked again."},
        {msg::TipParameters, "TipParameters", "Parameters kept in the reader."},
        {msg::TipRssi, "TipRssi",
         "RSSI threshold, %1 to %2: TAGs received weaker than this are ignored."},
        {msg::TipBeepOn, "TipBeepOn", "Switches the reader's beeper on."},
        {msg::TipBeepOff, "TipBeepOff", "Switches the reader's beeper off."},
        {msg::TipGain, "TipGain", "Receiver gain, %1 to %2: higher reads TAGs from farther away."},
        {msg::TipExciter, "TipExciter", "Exciter identifier, %1 to %2 in hexadecimal."},
        {msg::TipReset, "TipReset", "Restarts the reader; its settings stay."},
        {msg::TipFactory, "TipFactory",
         "Sets every parameter of the reader back to its factory value."},
        {msg::TipEnglish, "TipEnglish", "Shows the program in English."},
        {msg::TipGB, "TipGB", "Shows the program in Simplified Chinese."},
        {msg::TipBIG5, "TipBIG5", "Shows the program in Traditional Chinese."},
        {msg::TipExit, "TipExit", "Closes the program."},
        {msg::TipWide, "TipWide", "Shows the Entry Exit Mode and Relay Mode settings."},
        {msg::TipEntryExit, "TipEntryExit", "Second reading channel for entry and exit."},
        {msg::TipId2, "TipId2",
         "ID of the second channel, %1 to %2; 0 switches the second channel off."},
        {msg::TipRelays, "TipRelays", "The two relays RL1 and RL2."},
        {msg::TipRelayEnabled, "TipRelayEnabled", "Ticked: the relay is in use."},
        {msg::TipRelayKey, "TipRelayKey",
         "The relay's KEY switch, written with Set Relay Mode: ticked on, clear off."},
        {msg::TipRelayMo, "TipRelayMo",
         "The relay's MO switch, written with Set Relay Mode: ticked on, clear off."},
        {msg::TipRelayTime, "TipRelayTime",
         "Relay time in tenths of a second, %1 to %2 (%3 to %4 seconds)."},
        {msg::ReaderNotAnswering, "ReaderNotAnswering", "Reader not answering"},
        {msg::TagsDropped, "TagsDropped",
         "%1 oldest TAGs dropped: the history keeps the newest %2."},
        {msg::ReasonBadAddress, "ReasonBadAddress",
         "not a usable address (rfc2217://host:port or tcp://host:port)"},
        {msg::ReasonHostNotFound, "ReasonHostNotFound", "host not found"},
        {msg::ReasonRefused, "ReasonRefused", "connection refused (nothing listens at that port)"},
        {msg::ReasonTimedOut, "ReasonTimedOut", "timed out (the server did not answer)"},
        {msg::ReasonSettingsRefused, "ReasonSettingsRefused",
         "the server refused the line settings"},
        {msg::PortsTitle, "PortsTitle", "Ports"},
        {msg::Refresh, "Refresh", "Refresh"},
        {msg::ColumnCom, "ColumnCom", "COM"},
        {msg::ColumnDevice, "ColumnDevice", "Device"},
        {msg::ColumnStablePath, "ColumnStablePath", "Stable path"},
        {msg::ColumnVidPid, "ColumnVidPid", "VID:PID"},
        {msg::ColumnSerial, "ColumnSerial", "Serial number"},
        {msg::ColumnManufacturer, "ColumnManufacturer", "Manufacturer"},
        {msg::ColumnProduct, "ColumnProduct", "Product"},
        {msg::ColumnState, "ColumnState", "State"},
        {msg::PortAvailable, "PortAvailable", "available"},
        {msg::PortNoPermission, "PortNoPermission", "no permission"},
        {msg::MapToPort, "MapToPort", "Map to selected port"},
        {msg::ClearMapping, "ClearMapping", "Clear mapping"},
        {msg::ComMappedTo, "ComMappedTo", "%1 is mapped to %2"},
        {msg::ComFixed, "ComFixed", "%1 is %2 (fixed table)"},
        {msg::ComNoDevice, "ComNoDevice", "%1 has no device"},
        {msg::NoPortsFound, "NoPortsFound", "No serial port found"},
        {msg::AnotherReader, "AnotherReader", "Another reader answers: S/N %1 (before: %2)"},
        {msg::OutcomeOtherReply, "OutcomeOtherReply",
         "no reply within the limit, only one to another command"},
        {msg::ReasonNoLineControl, "ReasonNoLineControl",
         "the server does not offer line control (no RFC 2217 there: use tcp:// or configure the "
         "server for RFC 2217)"},
        {msg::ReasonClosed, "ReasonClosed", "the server closed the connection"},
        {msg::ColumnInterface, "ColumnInterface", "Interface"},
        {msg::ColumnDriver, "ColumnDriver", "Driver"},
        {msg::PortNotProbed, "PortNotProbed", "not probed (a network port)"},
    };
    for (const Row& r : rows)
        QVERIFY2(Msg(r.row, 0) == QString(r.english), r.name);
}

QTEST_APPLESS_MAIN(tst_Messages)
#include "tst_messages.moc"
