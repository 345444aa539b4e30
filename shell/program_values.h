#pragma once
// The program-wide values that the shell owns and the operations read and write.

#include <QString>

namespace qv {

struct ProgramValues {
    int ScanPort = 0;                        // 0: no place known
    QString ScanSettings = "19200,e,8,1";    // line settings of that place
    int ScanSettingsIndex = 5;               // index into SettingsList, 0..11
    QString LanguageName = "English";        // stored form of the language
    int LanguageIndex = 0;                   // 0 English, 1 ChineseGB, 2 ChineseBIG5
    bool ReaderFound = false;                // a discovery read identity and version
    bool TagReadActive = false;              // a tag-reading run is active
};

} // namespace qv
