#pragma once
// Builders for every command text the reader understands. Pure functions; callers frame them
// with Link::ReaderTransact.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace qv::link {

// The twelve line settings of the reader, indexes 0 to 11; index 5 is the default.
inline constexpr std::array<std::string_view, 12> SettingsList = {
    "4800,n,8,1",  "4800,e,8,1",  "9600,n,8,1",  "9600,e,8,1",  "19200,n,8,1",  "19200,e,8,1",
    "38400,n,8,1", "38400,e,8,1", "57600,n,8,1", "57600,e,8,1", "115200,n,8,1", "115200,e,8,1"};
inline constexpr int kDefaultSettingsIndex = 5;
inline constexpr std::string_view kDefaultSettings = SettingsList[kDefaultSettingsIndex];
bool IsSettingsIndex(int index);

// The letter after "A00" of every command the reader takes; a reply carries its command's letter
// at position 5 (the poll's reply is read by it).
inline constexpr std::string_view kCommandLetters = "BVIJCEXHNMLQOWPR";
inline constexpr int kLetterPosition = 5;
// The letter of command text `command` ("A00B" -> 'B'); 0 for a text too short to have one.
char CommandLetter(std::string_view command);
// Whether a reply that carries `replyLetter` answers `command`: a letter of another command says
// that the reply answers that one (a late reply to an earlier command); any other character, as
// a reader may put there, is no evidence either way.
bool AnswersCommand(char replyLetter, std::string_view command);

namespace cmd {
std::string Identity();                  // "A00B"
std::string Version();                   // "A00V"
std::string Poll();                      // "A00I"
std::string Outputs(bool do1, bool do2); // "A00I0".."A00I3": the digit is 2 for DO1 plus 1 for DO2
std::string TagAck();                    // "A00J"
std::string SetReaderId(std::string_view serial, std::string_view id); // "A00C" serial id
std::optional<std::string> SetBaudRate(int settingsIndex);             // "A00E0".."A00EB"
std::string FactoryDefault();                                          // "A00X5A"
std::string Reset();                                                   // "A00HR"
std::string SetSameCard(std::string_view fourDigits); // "A00N" + caption of the panel
std::string GetSameCard();                            // "A00N"
std::string SetNoNc(bool normallyOpen);               // "A00M1" / "A00M0"
std::string GetNoNc();                                // "A00M"
std::optional<std::string> SetMode(int rs485Index, int wiegandIndex); // "A00L" r w
std::string GetMode();                                                // "A00L"
std::string SetId2(int id2);                                          // "A00Q" %02X
std::string GetId2();                                                 // "A00Q"
std::string SetRssi(int threshold);                                   // "A00O" %02X
std::string GetRssi();                                                // "A00O"
std::string Beep(bool on);                                            // "A00HS1" / "A00HS0"
std::optional<int> GainByte(int level);        // level 1..7 -> 38 3F BF 1F DF 87 C7
std::optional<std::string> SetGain(int level); // "A00W1C01" + gain byte
std::string SetExciterIds(std::string_view id1, std::string_view id2); // "A00P" + both texts
std::string GetExciterIds();                                           // "A00P"
std::string SetAddress(int value);                                     // "A00W0601" %02X
std::string SetFrequency(int value);                                   // "A00W0F01" %02X
std::string SetChannel(int value);                                     // "A00W0B01" %02X
std::string SetRelays(int flags1, int time1, int flags2, int time2);   // "A00R" %02X x4
std::string GetRelays();                                               // "A00R"
} // namespace cmd

} // namespace qv::link
