#pragma once
// The program-wide values that the window owns and the operations read and write, with their
// start values: the defaults of the settings store too.

#include "link/protocol/commands.h"

#include <QString>

#include <string>

namespace qv {

// The stored names of the three languages, in the order of their index.
inline constexpr const char* kLanguageNames[] = {"English", "ChineseGB", "ChineseBIG5"};

struct ProgramValues {
    int ScanPort = 0; // 0: no place known
    // Line settings of that place, and their index into SettingsList (0..11).
    QString ScanSettings = QString::fromLatin1(link::kDefaultSettings.data(),
                                               qsizetype(link::kDefaultSettings.size()));
    int ScanSettingsIndex = link::kDefaultSettingsIndex;
    QString LanguageName = QString::fromLatin1(kLanguageNames[0]); // stored form of the language
    int LanguageIndex = 0; // 0 English, 1 ChineseGB, 2 ChineseBIG5
    // The line settings at which the reader last answered (empty: not yet). The drop-down list
    // changes ScanSettings for the next operations; changing the reader's own line speed must
    // still talk at the speed the reader is at.
    QString ReaderSettings;
    // The serial number of the reader the last discovery found (a tag run that reopens its port
    // compares the identity it then reads with this).
    std::string ReaderSerial;
    bool ReaderFound = false;   // a discovery read identity and version
    bool TagReadActive = false; // a tag-reading run is active
};

} // namespace qv
