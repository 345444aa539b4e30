// The settings store. Reading never writes: a QSettings object that was only read from leaves no
// file behind, so a first run creates nothing until a discovery sweep or a language button saves.
#include "program/settings_store.h"

#include "link/ports/com_ports.h"
#include "link/protocol/commands.h"

#include <QSettings>
#include <QStringList>
#include <optional>

namespace qv {

namespace {

const char* const kOrganisation = "Velmora";
const char* const kApplication = "Quorvane_Tools";

// Thrown inside ReadStoredSettings when a value has the wrong type; it ends the reading.
struct WrongType {};

// One of these per read or write, destroyed after it.
class Store : public QSettings {
public:
    Store()
        : QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganisation, kApplication) {}
};

// An integer value: a number, or a text that parses completely as a 32-bit integer.
std::optional<int> ReadInt(const QSettings& store, const char* name) {
    if (!store.contains(name))
        return std::nullopt;
    const QVariant value = store.value(name);
    bool ok = false;
    int result = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QString:
    case QMetaType::QByteArray:
        result = value.toInt(&ok);
        break;
    default:
        break; // a list, a rectangle, ...: never an integer
    }
    if (!ok)
        throw WrongType{};
    return result;
}

// A string value. An INI line written by hand without quotes, such as "ScanBaudRate=19200,e,8,1",
// comes back from QSettings as a list split at the commas; joining it gives back the text that
// was written.
std::optional<QString> ReadString(const QSettings& store, const char* name) {
    if (!store.contains(name))
        return std::nullopt;
    const QVariant value = store.value(name);
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    case QMetaType::QStringList:
        return value.toStringList().join(QLatin1Char(','));
    default:
        throw WrongType{};
    }
}

int LanguageIndexOf(const QString& name) {
    // Exact comparisons: "chinesegb" or "ChineseGB " are some other language, shown in English.
    if (name == QLatin1String(kLanguageNames[1]))
        return 1;
    if (name == QLatin1String(kLanguageNames[2]))
        return 2;
    return 0;
}

} // namespace

void ReadStoredSettings(ProgramValues& values) {
    const Store store;
    if (store.status() != QSettings::NoError)
        return; // an unreadable store is a missing store
    const ProgramValues defaults;
    try {
        values.ScanPort = ReadInt(store, "ScanCommNo").value_or(defaults.ScanPort);
        values.ScanSettings = ReadString(store, "ScanBaudRate").value_or(defaults.ScanSettings);
        const int index = ReadInt(store, "ScanBaudRateNo").value_or(defaults.ScanSettingsIndex);
        // The list has twelve entries; a stored index outside them selects the default instead of
        // leaving the list without a selection. ScanSettings stays as stored.
        values.ScanSettingsIndex =
            link::IsSettingsIndex(index) ? index : defaults.ScanSettingsIndex;
        if (const auto language = ReadString(store, "LanguageFlag")) {
            values.LanguageName = *language;
            values.LanguageIndex = LanguageIndexOf(*language);
        } else {
            values.LanguageName = defaults.LanguageName;
            values.LanguageIndex = defaults.LanguageIndex;
        }
    } catch (const WrongType&) {
        // Values read so far stay; the rest keep their start values.
    }
}

void SaveScanSettings(const ProgramValues& values) {
    Store store;
    store.setValue("ScanCommNo", values.ScanPort);
    store.setValue("ScanBaudRateNo", values.ScanSettingsIndex);
    store.setValue("ScanBaudRate", values.ScanSettings);
    store.sync(); // a refused write shows only in status(), which nobody is told about
}

void SaveLanguage(const ProgramValues& values) {
    Store store;
    store.setValue("LanguageFlag", values.LanguageName);
    store.sync();
}

link::PortMap ReadPortMap() {
    const Store store;
    link::PortMap ports;
    for (int n = link::kFirstComPort; n <= link::kLastComPort; ++n) {
        const QString key = QStringLiteral("Ports/COM%1").arg(n);
        if (!store.contains(key))
            continue;
        const QVariant value = store.value(key);
        if (value.typeId() == QMetaType::QString)
            ports[n] = value.toString().toStdString();
    }
    return ports;
}

void SavePortOverride(int port, const QString& name) {
    Store store;
    const QString key = QStringLiteral("Ports/COM%1").arg(port);
    if (name.isEmpty())
        store.remove(key);
    else
        store.setValue(key, name);
    store.sync();
}

} // namespace qv
