#pragma once
// The settings store: QSettings(NativeFormat, UserScope, "Velmora", "Quorvane_Tools").
// One QSettings object per read or write. Failures are dropped silently.

#include "link/protocol/link.h"
#include "program/program_values.h"

namespace qv {

// Overwrites ScanPort, ScanSettings, ScanSettingsIndex, LanguageName and LanguageIndex from the
// store, in the order ScanCommNo, ScanBaudRate, ScanBaudRateNo, LanguageFlag; a value of the
// wrong type stops the reading. A ScanBaudRateNo outside 0..11 becomes 5.
void ReadStoredSettings(ProgramValues& values);
void SaveScanSettings(const ProgramValues& values);
void SaveLanguage(const ProgramValues& values);
// The Ports/COMn overrides.
link::PortMap ReadPortMap();
// Sets (an empty `name`: removes) Ports/COM<port>; every other key stays as it is.
void SavePortOverride(int port, const QString& name);

} // namespace qv
