#pragma once
// The three-language message table: 101 rows, columns English, ChineseGB, ChineseBIG5 (UTF-8).

#include <QString>

namespace qv {

// Rows 0 to 100 are the designed table; the rows after them are the program's own additions.
inline constexpr int kMessageCount = 102;
inline constexpr int kLanguageCount = 3;

// Row k, column `languageIndex`, as UTF-8 bytes.
const char* MessageText(int k, int languageIndex);
// The same, as a QString.
QString Msg(int k, int languageIndex);

// Row numbers of the messages the program shows, named after their English text.
namespace msg {
enum : int {
    Caption = 0,
    StartScanReader = 1,
    CancelReadTag = 2,
    IdLabel = 3,
    BaudRate = 4,
    SetReaderBaudRateButton = 5,
    ReadTag = 6,
    FactoryDefault = 7,
    ParameterSetting = 9,
    Exit = 13,
    Get = 14,
    EntryExitMode = 15,
    TagId = 16,
    OpenCom = 17,
    Error = 18,
    ScanReader = 19,
    SerialNo = 20,
    Version = 22,
    ScanCom = 23,
    GetReaderInfoOk = 24,
    GetReaderInfoError = 25,
    ReaderNotFind = 26,
    Enabled = 27,
    RelayMode = 28,
    SetRelayMode = 29,
    SetRelayModeOk = 30,
    SetRelayModeError = 31,
    GetRelayMode = 32,
    GetRelayModeOk = 33,
    GetRelayModeError = 34,
    SetReaderId = 35,
    SetReaderIdOk = 36,
    SetReaderIdError = 37,
    SetId2 = 38,
    SetId2Ok = 39,
    SetId2Error = 40,
    GetId2 = 41,
    GetId2Ok = 42,
    GetId2Error = 43,
    SetReaderBaudRate = 47,
    SetReaderBaudRateOk = 48,
    SetReaderBaudRateError = 49,
    SetDefault = 50,
    SetDefaultOk = 51,
    SetDefaultError = 52,
    ReaderReset = 56,
    ReaderResetOk = 57,
    ReaderResetError = 58,
    SetReaderMode = 59,
    SetReaderModeOk = 60,
    SetReaderModeError = 61,
    SetSameCard = 62,
    SetSameCardOk = 63,
    SetSameCardError = 64,
    GetSameCard = 65,
    GetSameCardOk = 66,
    GetSameCardError = 67,
    SetExciterId = 68,
    SetExciterIdOk = 69,
    SetExciterIdError = 70,
    GetExciterId = 71,
    GetExciterIdOk = 72,
    GetExciterIdError = 73,
    Di5NoNc = 74,
    SetDi5NoNcOk = 75,
    SetDi5NoNcError = 76,
    SetAddress = 77,
    SetAddressOk = 78,
    SetAddressError = 79,
    SetGain = 80,
    SetGainOk = 81,
    SetGainError = 82,
    SetFreq = 83,
    SetFreqOk = 84,
    SetFreqError = 85,
    SetChannel = 86,
    SetChannelOk = 87,
    SetChannelError = 88,
    SetBeepOn = 89,
    SetBeepOnOk = 90,
    SetBeepOnError = 91,
    SetBeepOff = 92,
    SetBeepOffOk = 93,
    SetBeepOffError = 94,
    SetRssi = 95,
    SetRssiOk = 96,
    SetRssiError = 97,
    GetRssi = 98,
    GetRssiOk = 99,
    GetRssiError = 100,
    ReaderNotAnswering = 101,
};
} // namespace msg

} // namespace qv
