#include "link/protocol/commands.h"

#include <algorithm>
#include <cstdio>

namespace qv::link {

bool IsSettingsIndex(int index) {
    return index >= 0 && index < static_cast<int>(SettingsList.size());
}

char CommandLetter(std::string_view command) {
    return command.size() >= 4 ? command[3] : '\0';
}

bool AnswersCommand(char replyLetter, std::string_view command) {
    const char letter = CommandLetter(command);
    return letter == '\0' || replyLetter == letter ||
           kCommandLetters.find(replyLetter) == std::string_view::npos;
}

namespace cmd {

namespace {

// One byte as two upper-case hexadecimal digits ("%02X"). Every caller passes 0..255; holding
// the value there keeps a command two digits wide even if a control ever strays.
std::string Hex2(int value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(std::clamp(value, 0, 255)));
    return text;
}

std::string WriteRegister(const char* reg, int value) {
    return std::string("A00W") + reg + "01" + Hex2(value);
}

} // namespace

std::string Identity() {
    return "A00B";
}
std::string Version() {
    return "A00V";
}
std::string Poll() {
    return "A00I";
}

std::string Outputs(bool do1, bool do2) {
    return "A00I" + std::to_string((do1 ? 2 : 0) + (do2 ? 1 : 0));
}

std::string TagAck() {
    return "A00J";
}

std::string SetReaderId(std::string_view serial, std::string_view id) {
    std::string text = "A00C";
    text += serial;
    text += id;
    return text;
}

std::optional<std::string> SetBaudRate(int settingsIndex) {
    if (!IsSettingsIndex(settingsIndex))
        return std::nullopt;
    if (settingsIndex == 10)
        return "A00EA";
    if (settingsIndex == 11)
        return "A00EB";
    return "A00E" + std::to_string(settingsIndex);
}

std::string FactoryDefault() {
    return "A00X5A";
}
std::string Reset() {
    return "A00HR";
}

std::string SetSameCard(std::string_view fourDigits) {
    std::string text = "A00N";
    text += fourDigits;
    return text;
}

std::string GetSameCard() {
    return "A00N";
}

std::string SetNoNc(bool normallyOpen) {
    return normallyOpen ? "A00M1" : "A00M0";
}
std::string GetNoNc() {
    return "A00M";
}

std::optional<std::string> SetMode(int rs485Index, int wiegandIndex) {
    if (rs485Index < 0 || rs485Index > 3 || wiegandIndex < 0 || wiegandIndex > 4)
        return std::nullopt;
    std::string text = "A00L" + std::to_string(rs485Index);
    text += wiegandIndex == 0 ? std::string("N") : std::to_string(wiegandIndex - 1);
    return text;
}

std::string GetMode() {
    return "A00L";
}

std::string SetId2(int id2) {
    return "A00Q" + Hex2(id2);
}
std::string GetId2() {
    return "A00Q";
}

std::string SetRssi(int threshold) {
    return "A00O" + Hex2(threshold);
}
std::string GetRssi() {
    return "A00O";
}

std::string Beep(bool on) {
    return on ? "A00HS1" : "A00HS0";
}

std::optional<int> GainByte(int level) {
    // 64*A + 8*B + C per level; the order is the reader's, not monotonic.
    static constexpr int kGain[7] = {0x38, 0x3F, 0xBF, 0x1F, 0xDF, 0x87, 0xC7};
    if (level < 1 || level > 7)
        return std::nullopt;
    return kGain[level - 1];
}

std::optional<std::string> SetGain(int level) {
    const auto gain = GainByte(level);
    if (!gain)
        return std::nullopt;
    return WriteRegister("1C", *gain);
}

std::string SetExciterIds(std::string_view id1, std::string_view id2) {
    std::string text = "A00P";
    text += id1;
    text += id2;
    return text;
}

std::string GetExciterIds() {
    return "A00P";
}

std::string SetAddress(int value) {
    return WriteRegister("06", value);
}
std::string SetFrequency(int value) {
    return WriteRegister("0F", value);
}
std::string SetChannel(int value) {
    return WriteRegister("0B", value);
}

std::string SetRelays(int flags1, int time1, int flags2, int time2) {
    return "A00R" + Hex2(flags1) + Hex2(time1) + Hex2(flags2) + Hex2(time2);
}

std::string GetRelays() {
    return "A00R";
}

} // namespace cmd

} // namespace qv::link
