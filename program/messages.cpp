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
    // The program's own rows, after the designed ones: the traffic and TAG history windows, the
    // traffic log's words, the tooltips, the tag run's silent reader.
    {"Traffic", "通讯记录", "通訊記錄"},                                              // 101
    {"TAG History", "TAG 记录", "TAG 記錄"},                                          // 102
    {"Pause", "暂停", "暫停"},                                                        // 103
    {"Resume", "继续", "繼續"},                                                       // 104
    {"Clear", "清除", "清除"},                                                        // 105
    {"Copy", "复制", "複製"},                                                         // 106
    {"Save...", "保存...", "儲存..."},                                                // 107
    {"Export CSV...", "导出 CSV...", "匯出 CSV..."},                                  // 108
    {"TAG ID", "TAG 编号", "TAG 編號"},                                               // 109
    {"Decimal", "十进制", "十進位"},                                                  // 110
    {"Hex", "十六进制", "十六進位"},                                                  // 111
    {"First seen", "首次读取", "首次讀取"},                                           // 112
    {"Last seen", "最后读取", "最後讀取"},                                            // 113
    {"Count", "次数", "次數"},                                                        // 114
    {"DI", "DI", "DI"},                                                               // 115
    {"try %1", "第 %1 次", "第 %1 次"},                                               // 116
    {"opened", "已开启", "已開啟"},                                                   // 117
    {"closed", "已关闭", "已關閉"},                                                   // 118
    {"could not be opened", "无法开启", "無法開啟"},                                  // 119
    {"answered, checksum verified", "已回应，校验和正确", "已回應，檢查碼正確"},      // 120
    {"answered with a bad checksum", "已回应，但校验和错误", "已回應，但檢查碼錯誤"}, // 121
    {"no reply within the limit", "时限内没有回应", "時限內沒有回應"},                // 122
    {"stopped at the ceiling: the line kept talking", "达到上限而停止：线路不停传来数据",
     "達到上限而停止：線路不停傳來資料"},                                  // 123
    {"does not exist", "不存在", "不存在"},                                // 124
    {"not a serial device", "不是串口设备", "不是串口裝置"},               // 125
    {"in use by another program", "正被其他程序使用", "正被其他程式使用"}, // 126
    {"no permission: join the dialout group (sudo adduser $USER dialout, then log in again)",
     "没有权限：请加入 dialout 组（sudo adduser $USER dialout，然后重新登录）",
     "沒有權限：請加入 dialout 群組（sudo adduser $USER dialout，然後重新登入）"},       // 127
    {"already open in this program", "已在本程序中开启", "已在本程式中開啟"},            // 128
    {"line settings not understood", "无法识别通讯设定", "無法識別通訊設定"},            // 129
    {"cannot be opened for another reason", "因其他原因无法开启", "因其他原因無法開啟"}, // 130
    {"Ports that could not be opened:", "无法开启的串口：", "無法開啟的串口："},         // 131
    {"Could not write the file", "无法写入文件", "無法寫入檔案"},                        // 132
    {"Status line: what the program is doing and how the last operation ended. Right-click the "
     "window for the traffic (F2) and TAG history (F3) windows.",
     "状态栏：显示程序正在做什么，以及上一个操作的结果。在窗口上按右键可打开通讯记录（F2）和 TAG "
     "记录（F3）窗口。",
     "狀態列：顯示程式正在做什麼，以及上一個操作的結果。在視窗上按右鍵可開啟通訊記錄（F2）和 TAG "
     "記錄（F3）視窗。"}, // 133
    {"Link lamp: yellow, the reader answered; red, it did not; blinking, a scan or TAG reading is "
     "running.",
     "连线指示灯：黄色表示读卡机有回应；红色表示没有回应；闪烁表示正在扫描或读取 TAG。",
     "連線指示燈：黃色表示讀卡機有回應；紅色表示沒有回應；閃爍表示正在掃描或讀取 TAG。"}, // 134
    {"Serial number of the reader found by the scan.", "扫描找到的读卡机的序号。",
     "掃描找到的讀卡機的序號。"}, // 135
    {"Firmware version of the reader found by the scan.", "扫描找到的读卡机的韧体版本。",
     "掃描找到的讀卡機的韌體版本。"}, // 136
    {"Looks for the reader on COM%1 to COM%2, first where it was found last, and shows its ID, "
     "serial number and version.",
     "在 COM%1 到 COM%2 上寻找读卡机（先找上次找到的位置），并显示其编号、序号和版本。",
     "在 COM%1 到 COM%2 上尋找讀卡機（先找上次找到的位置），並顯示其編號、序號和版本。"}, // 137
    {"Reader ID, %1 to %2: the number the reader answers to. Move the bar to choose a new one.",
     "读卡机编号，%1 到 %2：读卡机回应的号码。拖动滚动条选择新编号。",
     "讀卡機編號，%1 到 %2：讀卡機回應的號碼。拖動捲軸選擇新編號。"}, // 138
    {"Writes the ID chosen on the bar into the reader.", "把滚动条选择的编号写入读卡机。",
     "把捲軸選擇的編號寫入讀卡機。"}, // 139
    {"Line setting: baud rate, parity, data bits, stop bits. Picking an entry makes the program "
     "talk to the reader with it.",
     "通讯设定：速度、同位检查、数据位、停止位。选择一项后，程序就用它与读卡机通讯。",
     "通訊設定：速度、同位檢查、資料位元、停止位元。選擇一項後，程式就用它與讀卡機通訊。"}, // 140
    {"Lock the line setting. Ticked: the scan tries only the selected line setting on each port. "
     "Clear: it tries all twelve.",
     "锁定通讯设定。勾选：扫描时每个串口只尝试所选的通讯设定。不勾选：尝试全部十二种。",
     "鎖定通訊設定。勾選：掃描時每個串口只嘗試所選的通訊設定。不勾選：嘗試全部十二種。"}, // 141
    {"Writes the selected line setting into the reader; the program then talks to it with that "
     "setting.",
     "把所选的通讯设定写入读卡机；之后程序用这个设定与它通讯。",
     "把所選的通訊設定寫入讀卡機；之後程式用這個設定與它通訊。"}, // 142
    {"Same-card time in seconds, %1 to %2: how long the reader ignores a TAG it has just read.",
     "相同卡时间（秒），%1 到 %2：读卡机在读到一张 TAG 后忽略同一张 TAG 的时间。",
     "相同卡時間（秒），%1 到 %2：讀卡機在讀到一張 TAG 後忽略同一張 TAG 的時間。"}, // 143
    {"Contact sense of input DI5: NO normally open, NC normally closed.",
     "DI5 输入的接点类型：NO 常开，NC 常闭。", "DI5 輸入的接點類型：NO 常開，NC 常閉。"}, // 144
    {"Writes the value set beside it into the reader.", "把旁边设定的数值写入读卡机。",
     "把旁邊設定的數值寫入讀卡機。"}, // 145
    {"Reads this value back from the reader and shows it.", "从读卡机读回这个数值并显示。",
     "從讀卡機讀回這個數值並顯示。"}, // 146
    {"Wiegand output format, or Off.", "Wiegand 输出格式，或关闭。",
     "Wiegand 輸出格式，或關閉。"}, // 147
    {"RS485 output format: the number of ID bits sent.", "RS485 输出格式：送出的编号位数。",
     "RS485 輸出格式：送出的編號位元數。"}, // 148
    {"TAG lamp: yellow for a second after each TAG read.",
     "TAG 指示灯：每读到一张 TAG 亮黄色一秒。", "TAG 指示燈：每讀到一張 TAG 亮黃色一秒。"}, // 149
    {"State of the digital input as the reader reports it while TAGs are read.",
     "读取 TAG 时读卡机报告的数字输入状态。", "讀取 TAG 時讀卡機報告的數位輸入狀態。"}, // 150
    {"Last TAG read: its ID in decimal (D) and hexadecimal (H).",
     "最后读到的 TAG：编号的十进制（D）和十六进制（H）。",
     "最後讀到的 TAG：編號的十進位（D）和十六進位（H）。"}, // 151
    {"Digital output. Ticked: switched on; the change is sent while TAGs are read.",
     "数字输出。勾选：开启；读取 TAG 时送出变更。",
     "數位輸出。勾選：開啟；讀取 TAG 時送出變更。"}, // 152
    {"Reads TAGs without pause until clicked again.", "连续读取 TAG，直到再按一次。",
     "連續讀取 TAG，直到再按一次。"},                                                       // 153
    {"Parameters kept in the reader.", "保存在读卡机中的参数。", "保存在讀卡機中的參數。"}, // 154
    {"RSSI threshold, %1 to %2: TAGs received weaker than this are ignored.",
     "RSSI 门槛，%1 到 %2：信号比它弱的 TAG 会被忽略。",
     "RSSI 門檻，%1 到 %2：訊號比它弱的 TAG 會被忽略。"},                                  // 155
    {"Switches the reader's beeper on.", "开启读卡机的蜂鸣器。", "開啟讀卡機的蜂鳴器。"},  // 156
    {"Switches the reader's beeper off.", "关闭读卡机的蜂鸣器。", "關閉讀卡機的蜂鳴器。"}, // 157
    {"Receiver gain, %1 to %2: higher reads TAGs from farther away.",
     "接收增益，%1 到 %2：越高可读取越远的 TAG。",
     "接收增益，%1 到 %2：越高可讀取越遠的 TAG。"}, // 158
    {"Exciter identifier, %1 to %2 in hexadecimal.", "激发器代号，十六进制 %1 到 %2。",
     "激發器代號，十六進位 %1 到 %2。"}, // 159
    {"Restarts the reader; its settings stay.", "重新启动读卡机；设定保持不变。",
     "重新啟動讀卡機；設定保持不變。"}, // 160
    {"Sets every parameter of the reader back to its factory value.",
     "把读卡机的所有参数恢复为出厂值。", "把讀卡機的所有參數恢復為出廠值。"},  // 161
    {"Shows the program in English.", "以英文显示程序。", "以英文顯示程式。"}, // 162
    {"Shows the program in Simplified Chinese.", "以简体中文显示程序。",
     "以簡體中文顯示程式。"}, // 163
    {"Shows the program in Traditional Chinese.", "以繁体中文显示程序。",
     "以繁體中文顯示程式。"},                            // 164
    {"Closes the program.", "关闭程序。", "關閉程式。"}, // 165
    {"Shows the Entry Exit Mode and Relay Mode settings.", "显示进入外出模式和继电器模式的设定。",
     "顯示進入外出模式和繼電器模式的設定。"}, // 166
    {"Second reading channel for entry and exit.", "进入与外出用的第二读取通道。",
     "進入與外出用的第二讀取通道。"}, // 167
    {"ID of the second channel, %1 to %2; 0 switches the second channel off.",
     "第二通道的编号，%1 到 %2；0 表示关闭第二通道。",
     "第二通道的編號，%1 到 %2；0 表示關閉第二通道。"},                                    // 168
    {"The two relays RL1 and RL2.", "两个继电器 RL1 和 RL2。", "兩個繼電器 RL1 和 RL2。"}, // 169
    {"Ticked: the relay is in use.", "勾选：使用这个继电器。", "勾選：使用這個繼電器。"},  // 170
    {"The relay's KEY switch, written with Set Relay Mode: ticked on, clear off.",
     "继电器的 KEY 开关，由设定继电器模式写入：勾选为开，不勾选为关。",
     "繼電器的 KEY 開關，由設定繼電器模式寫入：勾選為開，不勾選為關。"}, // 171
    {"The relay's MO switch, written with Set Relay Mode: ticked on, clear off.",
     "继电器的 MO 开关，由设定继电器模式写入：勾选为开，不勾选为关。",
     "繼電器的 MO 開關，由設定繼電器模式寫入：勾選為開，不勾選為關。"}, // 172
    {"Relay time in tenths of a second, %1 to %2 (%3 to %4 seconds).",
     "继电器动作时间，单位 0.1 秒，%1 到 %2（%3 到 %4 秒）。",
     "繼電器動作時間，單位 0.1 秒，%1 到 %2（%3 到 %4 秒）。"},   // 173
    {"Reader not answering", "读卡机没有回应", "讀卡機沒有回應"}, // 174
    {"%1 oldest TAGs dropped: the history keeps the newest %2.",
     "已丢弃 %1 个最旧的 TAG：记录只保留最新的 %2 个。",
     "已丟棄 %1 個最舊的 TAG：記錄只保留最新的 %2 個。"}, // 175
    {"not a usable address (rfc2217://host:port or tcp://host:port)",
     "不是可用的地址（rfc2217://主机:端口 或 tcp://主机:端口）",
     "不是可用的位址（rfc2217://主機:連接埠 或 tcp://主機:連接埠）"}, // 176
    {"host not found", "找不到主机", "找不到主機"},                   // 177
    {"connection refused (nothing listens at that port)", "连接被拒绝（该端口无人监听）",
     "連線被拒絕（該連接埠無人監聽）"}, // 178
    {"timed out (the server did not answer)", "超时（服务器没有回应）",
     "逾時（伺服器沒有回應）"},                                                               // 179
    {"the server refused the line settings", "服务器拒绝了通讯设定", "伺服器拒絕了通訊設定"}, // 180
    {"Ports", "串口", "串口"},                                                                // 181
    {"Refresh", "刷新", "重新整理"},                                                          // 182
    {"COM", "COM", "COM"},                                                                    // 183
    {"Device", "设备", "裝置"},                                                               // 184
    {"Stable path", "固定路径", "固定路徑"},                                                  // 185
    {"VID:PID", "VID:PID", "VID:PID"},                                                        // 186
    {"Serial number", "序列号", "序號"},                                                      // 187
    {"Manufacturer", "制造商", "製造商"},                                                     // 188
    {"Product", "产品", "產品"},                                                              // 189
    {"State", "状态", "狀態"},                                                                // 190
    {"available", "可用", "可用"},                                                            // 191
    {"no permission", "没有权限", "沒有權限"},                                                // 192
    {"Map to selected port", "映射到所选串口", "對應到所選串口"},                             // 193
    {"Clear mapping", "清除映射", "清除對應"},                                                // 194
    {"%1 is mapped to %2", "%1 已映射到 %2", "%1 已對應到 %2"},                               // 195
    {"%1 is %2 (fixed table)", "%1 为 %2（固定对照表）", "%1 為 %2（固定對照表）"},           // 196
    {"%1 has no device", "%1 没有设备", "%1 沒有裝置"},                                       // 197
    {"No serial port found", "找不到串口", "找不到串口"},                                     // 198
    {"Another reader answers: S/N %1 (before: %2)", "另一台读卡机回应：序号 %1（之前：%2）",
     "另一台讀卡機回應：序號 %1（之前：%2）"}, // 199
    {"no reply within the limit, only one to another command",
     "时限内没有回应，只有对其他命令的回应", "時限內沒有回應，只有對其他命令的回應"}, // 200
    {"the server does not offer line control (no RFC 2217 there: use tcp:// or configure the "
     "server for RFC 2217)",
     "服务器不提供线路控制（那里没有 RFC 2217：请用 tcp://，或把服务器设为 RFC 2217）",
     "伺服器不提供線路控制（那裡沒有 RFC 2217：請用 tcp://，或把伺服器設為 RFC 2217）"}, // 201
    {"the server closed the connection", "服务器关闭了连接", "伺服器關閉了連線"},        // 202
    {"Interface", "接口", "介面"},                                                       // 203
    {"Driver", "驱动程序", "驅動程式"},                                                  // 204
    {"not probed (a network port)", "未检测（网络端口）", "未檢測（網路連接埠）"},       // 205
}};

// The link's reasons in the order of link::SerialError, as its table of words has them.
constexpr int kReasonRows[] = {
    msg::PortOpened,          msg::ReasonNoDevice,     msg::ReasonNotSerial,
    msg::ReasonInUse,         msg::ReasonNoPermission, msg::ReasonAlreadyOpen,
    msg::ReasonBadSettings,   msg::ReasonBadAddress,   msg::ReasonHostNotFound,
    msg::ReasonRefused,       msg::ReasonTimedOut,     msg::ReasonSettingsRefused,
    msg::ReasonNoLineControl, msg::ReasonClosed,       msg::ReasonOther,
};
static_assert(std::size(kReasonRows) == link::kSerialErrorCount,
              "every reason of the link has its row");

} // namespace

int ReasonRow(link::SerialError error) {
    const auto index = static_cast<std::size_t>(error);
    return index < std::size(kReasonRows) ? kReasonRows[index] : msg::ReasonOther;
}

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
