// The message table. Stored as UTF-8: the Chinese columns are the GB2312 and Big5 texts already
// decoded, so that a Unicode toolkit shows them with any CJK font.
#include "program/messages.h"

#include <array>

namespace qv {

namespace {

using Row = std::array<const char*, kLanguageCount>;

// Columns: English, ChineseGB, ChineseBIG5.
constexpr std::array<Row, kMessageCount> kMessageTable = {{
    {"Quorvane Tools V0232", "Quorvane 工具程式 V0232", "Quorvane 工具程式 V0232"},            // 0
    {"Start Scan Reader!", "请先扫描读卡机!", "請先掃描讀卡機!"},                              // 1
    {"Cancel Read TAG", "取消读TAG", "取消讀TAG"},                                             // 2
    {"ID", "编号", "編號"},                                                                    // 3
    {"BaudRate", "通讯速度", "通訊速度"},                                                      // 4
    {"Set Reader Baud Rate", "设定通讯速度", "設定通訊速度"},                                  // 5
    {"Read TAG", "读取TAG", "讀取TAG"},                                                        // 6
    {"Factory Default", "出厂预设", "出廠預設"},                                               // 7
    {"Factory Test", "出厂测试", "出廠測試"},                                                  // 8
    {"Parameter Setting", "参数设定", "參數設定"},                                             // 9
    {"Access PIN", "通关密码", "通關密碼"},                                                    // 10
    {"Default", "预设", "預設"},                                                               // 11
    {"S/N Set", "序号设定", "序號設定"},                                                       // 12
    {"Exit", "结束", "結束"},                                                                  // 13
    {"Get", "取回", "取回"},                                                                   // 14
    {"Entry Exit Mode", "进入外出模式", "進入外出模式"},                                       // 15
    {"ID", "ID", "ID"},                                                                        // 16
    {"Open COM", "开启串口", "開啟串口"},                                                      // 17
    {"Error", "错误", "錯誤"},                                                                 // 18
    {"Scan Reader", "扫描读卡机", "掃描讀卡機"},                                               // 19
    {"S/N", "序号", "序號"},                                                                   // 20
    {"No", "流水号", "流水號"},                                                                // 21
    {"VER", "版本", "版本"},                                                                   // 22
    {"Scan COM", "扫描串口", "掃描串口"},                                                      // 23
    {"Get Reader Info Ok. (COM", "读取读卡机资讯完成. (串口", "讀取讀卡機資訊完成. (串口"},    // 24
    {"Get Reader Info Error. (COM", "读取读卡机资讯错误. (串口", "讀取讀卡機資訊錯誤. (串口"}, // 25
    {"Reader Not Find", "读卡机没有连线", "讀卡機沒有連線"},                                   // 26
    {"Enabled", "启用", "啟用"},                                                               // 27
    {"Relay Mode", "继电器模式", "繼電器模式"},                                                // 28
    {"Set Relay Mode", "设定继电器模式", "設定繼電器模式"},                                    // 29
    {"Set Relay Mode Ok", "设定继电器模式完成", "設定繼電器模式完成"},                         // 30
    {"Set Relay Mode Error", "设定继电器模式错误", "設定繼電器模式錯誤"},                      // 31
    {"Get Relay Mode", "读取继电器模式", "讀取繼電器模式"},                                    // 32
    {"Get Relay Mode Ok", "读取继电器模式完成", "讀取繼電器模式完成"},                         // 33
    {"Get Relay Mode Error", "读取继电器模式错误", "讀取繼電器模式錯誤"},                      // 34
    {"Set Reader ID", "设定读卡机编号", "設定讀卡機編號"},                                     // 35
    {"Set Reader ID Ok", "设定读卡机编号完成", "設定讀卡機編號完成"},                          // 36
    {"Set Reader ID Error", "设定读卡机编号错误", "設定讀卡機編號錯誤"},                       // 37
    {"Set ID2", "设定ID2", "設定ID2"},                                                         // 38
    {"Set ID2 Ok", "设定ID2完成", "設定ID2完成"},                                              // 39
    {"Set ID2 Error", "设定ID2错误", "設定ID2錯誤"},                                           // 40
    {"Get ID2", "取回ID2", "取回ID2"},                                                         // 41
    {"Get ID2 Ok", "取回ID2完成", "取回ID2完成"},                                              // 42
    {"Get ID2 Error", "取回ID2错误", "取回ID2錯誤"},                                           // 43
    {"Set Reader No", "设定读卡机流水号", "設定讀卡機流水號"},                                 // 44
    {"Set Reader No Ok", "设定读卡机流水号完成", "設定讀卡機流水號完成"},                      // 45
    {"Set Reader No Error", "设定读卡机流水号错误", "設定讀卡機流水號錯誤"},                   // 46
    {"Set Reader BaudRate", "设定读卡机通讯速度", "設定讀卡機通訊速度"},                       // 47
    {"Set Reader BaudRate Ok", "设定读卡机通讯速度完成", "設定讀卡機通訊速度完成"},            // 48
    {"Set Reader BaudRate Error", "设定读卡机通讯速度错误", "設定讀卡機通訊速度錯誤"},         // 49
    {"Set Default", "设定预设模式", "設定預設模式"},                                           // 50
    {"Set Default Ok", "设定预设模式完成", "設定預設模式完成"},                                // 51
    {"Set Default Error", "设定预设模式错误", "設定預設模式錯誤"},                             // 52
    {"Set Factory Test", "设定出厂测试模式", "設定出廠測試模式"},                              // 53
    {"Set Factory Test Ok", "设定出厂测试模式完成", "設定出廠測試模式完成"},                   // 54
    {"Set Factory Test Error", "设定出厂测试模式错误", "設定出廠測試模式錯誤"},                // 55
    {"Reader Reset", "读卡机重开", "讀卡機重開"},                                              // 56
    {"Reader Reset Ok", "读卡机重开完成", "讀卡機重開完成"},                                   // 57
    {"Reader Reset Error", "读卡机重开错误", "讀卡機重開錯誤"},                                // 58
    {"Set Reader Mode", "设定读卡机模式", "設定讀卡機模式"},                                   // 59
    {"Set Reader Mode Ok", "设定读卡机模式完成", "設定讀卡機模式完成"},                        // 60
    {"Set Reader Mode Error", "设定读卡机模式错误", "設定讀卡機模式錯誤"},                     // 61
    {"Set Same Card", "设定相同卡", "設定相同卡"},                                             // 62
    {"Set Same Card Ok", "设定相同卡完成", "設定相同卡完成"},                                  // 63
    {"Set Same Card Error", "设定相同卡错误", "設定相同卡錯誤"},                               // 64
    {"Get Same Card", "取回相同卡", "取回相同卡"},                                             // 65
    {"Get Same Card Ok", "取回相同卡完成", "取回相同卡完成"},                                  // 66
    {"Get Same Card Error", "取回相同卡错误", "取回相同卡錯誤"},                               // 67
    {"Set Exciter ID", "设定激发器代号", "設定激發器代號"},                                    // 68
    {"Set Exciter ID Ok", "设定激发器代号完成", "設定激發器代號完成"},                         // 69
    {"Set Exciter ID Error", "设定激发器代号错误", "設定激發器代號錯誤"},                      // 70
    {"Get Exciter ID", "读回激发器代号", "讀回激發器代號"},                                    // 71
    {"Get Exciter ID Ok", "读回激发器代号完成", "讀回激發器代號完成"},                         // 72
    {"Get Exciter ID Error", "读回激发器代号错误", "讀回激發器代號錯誤"},                      // 73
    {"DI5 NO/NC", "DI5 NO/NC", "DI5 NO/NC"},                                                   // 74
    {"Set DI5 NO/NC Ok", "设定 DI5 NO/NC 完成", "設定 DI5 NO/NC 完成"},                        // 75
    {"Set DI5 NO/NC Error", "设定 DI5 NO/NC 错误", "設定 DI5 NO/NC 錯誤"},                     // 76
    {"Set Address", "设定位址", "設定位址"},                                                   // 77
    {"Set Address Ok", "设定位址完成", "設定位址完成"},                                        // 78
    {"Set Address Error", "设定位址错误", "設定位址錯誤"},                                     // 79
    {"Set Gain", "设定增益", "設定增益"},                                                      // 80
    {"Set Gain Ok", "设定增益完成", "設定增益完成"},                                           // 81
    {"Set Gain Error", "设定增益错误", "設定增益錯誤"},                                        // 82
    {"Set Freq", "设定频率", "設定頻率"},                                                      // 83
    {"Set Freq Ok", "设定频率完成", "設定頻率完成"},                                           // 84
    {"Set Freq Error", "设定频率错误", "設定頻率錯誤"},                                        // 85
    {"Set Channel", "设定通道", "設定通道"},                                                   // 86
    {"Set Channel Ok", "设定通道完成", "設定通道完成"},                                        // 87
    {"Set Channel Error", "设定通道错误", "設定通道錯誤"},                                     // 88
    {"Set Beep ON", "设定声音开启", "設定聲音開啟"},                                           // 89
    {"Set Beep ON Ok", "设定声音开启完成", "設定聲音開啟完成"},                                // 90
    {"Set Beep ON Error", "设定声音开启错误", "設定聲音開啟錯誤"},                             // 91
    {"Set Beep OFF", "设定声音关闭", "設定聲音關閉"},                                          // 92
    {"Set Beep OFF Ok", "设定声音关闭完成", "設定聲音關閉完成"},                               // 93
    {"Set Beep OFF Error", "设定声音关闭错误", "設定聲音關閉錯誤"},                            // 94
    {"Set RSSI", "设定RSSI", "設定RSSI"},                                                      // 95
    {"Set RSSI Ok", "设定RSSI完成", "設定RSSI完成"},                                           // 96
    {"Set RSSI Error", "设定RSSI错误", "設定RSSI錯誤"},                                        // 97
    {"Get RSSI", "读回RSSI", "讀回RSSI"},                                                      // 98
    {"Get RSSI Ok", "读回RSSI完成", "讀回RSSI完成"},                                           // 99
    {"Get RSSI Error", "读回RSSI错误", "讀回RSSI錯誤"}, // 100
    // The program's own rows, after the designed ones.
    {"Reader not answering", "读卡机没有回应", "讀卡機沒有回應"}, // 101
}};

} // namespace

const char* MessageText(int k, int languageIndex) {
    // The program only asks for rows it names; anything else gets the empty text instead of a
    // read outside the table.
    if (k < 0 || k >= kMessageCount || languageIndex < 0 || languageIndex >= kLanguageCount)
        return "";
    return kMessageTable[static_cast<std::size_t>(k)][static_cast<std::size_t>(languageIndex)];
}

QString Msg(int k, int languageIndex) {
    return QString::fromUtf8(MessageText(k, languageIndex));
}

} // namespace qv
