// The settings store on its INI file: what a start reads from hand-written files (missing values,
// values of the wrong type, exact language names, out-of-range indexes, unquoted lists), that a
// start writes nothing, what the save functions write, and the port map.
#include "program/program_values.h"
#include "program/settings_store.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class tst_SettingsStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void startWithoutStoreKeepsStartValuesAndCreatesNothing();
    void readsStoredValues_data();
    void readsStoredValues();
    void machineWideStoreIsReadWhenTheUserHasNone();
    void saveScanSettingsWritesThePlaceOnly();
    void saveLanguageWritesTheFlagOnly();
    void savedPlaceReadsBack();
    void portMapTakesStringValuesOfCom1To16();

private:
    QString storeFile() const { return userDir_->path() + "/Velmora/Quorvane_Tools.conf"; }
    void writeStore(const QByteArray& ini, const QString& file);
    QByteArray storeText() const;

    QTemporaryDir home_;
    QTemporaryDir machine_;
    std::unique_ptr<QTemporaryDir> userDir_;
};

void tst_SettingsStore::initTestCase() {
    // Qt takes the user path from the environment at the first QSettings use; point it away from
    // the real home before that. Each test then gets a fresh folder of its own through setPath,
    // so that Qt's cache of parsed files never hands one test the file of another.
    QVERIFY(home_.isValid() && machine_.isValid());
    qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, machine_.path());
}

void tst_SettingsStore::init() {
    userDir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(userDir_->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, userDir_->path());
}

void tst_SettingsStore::writeStore(const QByteArray& ini, const QString& file) {
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(ini);
}

QByteArray tst_SettingsStore::storeText() const {
    QFile f(storeFile());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void tst_SettingsStore::startWithoutStoreKeepsStartValuesAndCreatesNothing() {
    qv::ProgramValues values;
    qv::ReadStoredSettings(values);
    QCOMPARE(values.ScanPort, 0);
    QCOMPARE(values.ScanSettings, QString("19200,e,8,1"));
    QCOMPARE(values.ScanSettingsIndex, 5);
    QCOMPARE(values.LanguageName, QString("English"));
    QCOMPARE(values.LanguageIndex, 0);
    QVERIFY(qv::ReadPortMap().empty());
    QVERIFY(QDir(userDir_->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void tst_SettingsStore::readsStoredValues_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("languageName");
    QTest::addColumn<int>("languageIndex");

    const QByteArray all = "[General]\nScanCommNo=3\nScanBaudRate=\"9600,n,8,1\"\n"
                           "ScanBaudRateNo=2\nLanguageFlag=ChineseBIG5\n";
    QTest::newRow("all four") << all << 3 << "9600,n,8,1" << 2 << "ChineseBIG5" << 2;
    QTest::newRow("ScanCommNo missing")
        << QByteArray("[General]\nScanBaudRate=\"9600,n,8,1\"\nScanBaudRateNo=2\n") << 0
        << "9600,n,8,1" << 2 << "English" << 0;
    QTest::newRow("ScanBaudRate missing")
        << QByteArray("[General]\nScanCommNo=7\nScanBaudRateNo=9\n") << 7 << "19200,e,8,1" << 9
        << "English" << 0;
    QTest::newRow("ScanBaudRateNo missing, text and index disagree")
        << QByteArray("[General]\nScanBaudRate=\"4800,n,8,1\"\n") << 0 << "4800,n,8,1" << 5
        << "English" << 0;
    QTest::newRow("LanguageFlag missing")
        << QByteArray("[General]\nScanCommNo=16\n") << 16 << "19200,e,8,1" << 5 << "English" << 0;

    // A value of the wrong type ends the reading; what came before it stays.
    QTest::newRow("ScanCommNo not a number stops everything")
        << QByteArray("[General]\nScanCommNo=abc\nScanBaudRate=\"9600,n,8,1\"\nScanBaudRateNo=2\n"
                      "LanguageFlag=ChineseGB\n")
        << 0 << "19200,e,8,1" << 5 << "English" << 0;
    QTest::newRow("ScanCommNo a list stops everything")
        << QByteArray("[General]\nScanCommNo=1,2\nLanguageFlag=ChineseGB\n") << 0 << "19200,e,8,1"
        << 5 << "English" << 0;
    QTest::newRow("ScanBaudRateNo not a number keeps port and text")
        << QByteArray("[General]\nScanCommNo=4\nScanBaudRate=\"57600,e,8,1\"\nScanBaudRateNo=two\n"
                      "LanguageFlag=ChineseGB\n")
        << 4 << "57600,e,8,1" << 5 << "English" << 0;
    QTest::newRow("ScanBaudRate of a foreign type stops there")
        << QByteArray("[General]\nScanCommNo=2\nScanBaudRate=@Rect(1 2 3 4)\nScanBaudRateNo=3\n")
        << 2 << "19200,e,8,1" << 5 << "English" << 0;

    // The language name is compared byte for byte.
    QTest::newRow("ChineseGB") << QByteArray("[General]\nLanguageFlag=ChineseGB\n") << 0
                               << "19200,e,8,1" << 5 << "ChineseGB" << 1;
    QTest::newRow("lower case") << QByteArray("[General]\nLanguageFlag=chinesegb\n") << 0
                                << "19200,e,8,1" << 5 << "chinesegb" << 0;
    QTest::newRow("trailing blank") << QByteArray("[General]\nLanguageFlag=\"ChineseBIG5 \"\n") << 0
                                    << "19200,e,8,1" << 5 << "ChineseBIG5 " << 0;
    QTest::newRow("another language") << QByteArray("[General]\nLanguageFlag=German\n") << 0
                                      << "19200,e,8,1" << 5 << "German" << 0;

    // The list has entries 0 to 11.
    QTest::newRow("index 0") << QByteArray("[General]\nScanBaudRateNo=0\n") << 0 << "19200,e,8,1"
                             << 0 << "English" << 0;
    QTest::newRow("index 11") << QByteArray("[General]\nScanBaudRateNo=11\n") << 0 << "19200,e,8,1"
                              << 11 << "English" << 0;
    QTest::newRow("index 12 falls back, text stays")
        << QByteArray("[General]\nScanBaudRate=\"115200,n,8,1\"\nScanBaudRateNo=12\n"
                      "LanguageFlag=ChineseGB\n")
        << 0 << "115200,n,8,1" << 5 << "ChineseGB" << 1;
    QTest::newRow("index -1 falls back") << QByteArray("[General]\nScanBaudRateNo=-1\n") << 0
                                         << "19200,e,8,1" << 5 << "English" << 0;

    QTest::newRow("empty ScanBaudRate")
        << QByteArray("[General]\nScanBaudRate=\n") << 0 << "" << 5 << "English" << 0;
    QTest::newRow("unquoted ScanBaudRate written by hand")
        << QByteArray("[General]\nScanCommNo=1\nScanBaudRate=38400,e,8,1\nScanBaudRateNo=7\n") << 1
        << "38400,e,8,1" << 7 << "English" << 0;
}

void tst_SettingsStore::readsStoredValues() {
    QFETCH(QByteArray, ini);
    writeStore(ini, storeFile());
    qv::ProgramValues values;
    qv::ReadStoredSettings(values);
    QTEST(values.ScanPort, "port");
    QTEST(values.ScanSettings, "settings");
    QTEST(values.ScanSettingsIndex, "index");
    QTEST(values.LanguageName, "languageName");
    QTEST(values.LanguageIndex, "languageIndex");
    QCOMPARE(storeText(), ini); // reading leaves the file as it was
}

void tst_SettingsStore::machineWideStoreIsReadWhenTheUserHasNone() {
    const QString file = machine_.path() + "/Velmora/Quorvane_Tools.conf";
    writeStore("[General]\nScanCommNo=9\nLanguageFlag=ChineseGB\n", file);
    qv::ProgramValues values;
    qv::ReadStoredSettings(values);
    QFile::remove(file);
    QCOMPARE(values.ScanPort, 9);
    QCOMPARE(values.LanguageIndex, 1);
    QVERIFY(!QFile::exists(storeFile()));
}

void tst_SettingsStore::saveScanSettingsWritesThePlaceOnly() {
    qv::ProgramValues values;
    values.ScanPort = 12;
    values.ScanSettings = "115200,e,8,1";
    values.ScanSettingsIndex = 11;
    values.LanguageName = "ChineseGB";
    qv::SaveScanSettings(values);

    QSettings store(storeFile(), QSettings::IniFormat);
    QCOMPARE(store.allKeys().size(), 3);
    QCOMPARE(store.value("ScanCommNo").toString(), QString("12"));
    QCOMPARE(store.value("ScanBaudRateNo").toString(), QString("11"));
    QCOMPARE(store.value("ScanBaudRate").toString(), QString("115200,e,8,1"));
}

void tst_SettingsStore::saveLanguageWritesTheFlagOnly() {
    writeStore("[General]\nScanCommNo=3\n", storeFile());
    qv::ProgramValues values;
    values.ScanPort = 8;
    values.LanguageName = "ChineseBIG5";
    values.LanguageIndex = 2;
    qv::SaveLanguage(values);

    QSettings store(storeFile(), QSettings::IniFormat);
    QCOMPARE(store.allKeys().size(), 2);
    QCOMPARE(store.value("LanguageFlag").toString(), QString("ChineseBIG5"));
    QCOMPARE(store.value("ScanCommNo").toString(), QString("3"));
}

void tst_SettingsStore::savedPlaceReadsBack() {
    qv::ProgramValues saved;
    saved.ScanPort = 5;
    saved.ScanSettings = "9600,e,8,1"; // commas survive the round trip as one text
    saved.ScanSettingsIndex = 3;
    saved.LanguageName = "ChineseGB";
    qv::SaveScanSettings(saved);
    qv::SaveLanguage(saved);

    qv::ProgramValues read;
    qv::ReadStoredSettings(read);
    QCOMPARE(read.ScanPort, 5);
    QCOMPARE(read.ScanSettings, QString("9600,e,8,1"));
    QCOMPARE(read.ScanSettingsIndex, 3);
    QCOMPARE(read.LanguageName, QString("ChineseGB"));
    QCOMPARE(read.LanguageIndex, 1);
}

void tst_SettingsStore::portMapTakesStringValuesOfCom1To16() {
    writeStore("[General]\nScanCommNo=1\n[Ports]\nCOM1=/dev/pts/4\nCOM16=/tmp/reader\n"
               "COM17=/dev/pts/9\nCOM0=/dev/pts/8\nCOM3=@Rect(1 2 3 4)\n",
               storeFile());
    const qv::link::PortMap ports = qv::ReadPortMap();
    QCOMPARE(ports.size(), std::size_t(2));
    QCOMPARE(ports.at(1), std::string("/dev/pts/4"));
    QCOMPARE(ports.at(16), std::string("/tmp/reader"));
}

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_settings_store.moc"
