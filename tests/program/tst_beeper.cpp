// The platform beeper on Linux: its tone played to ALSA's default device, here a file, whole and
// at its pitch, before beep() returns.
#include "program/beeper.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>
#include <cstdlib>
#include <cstring>

class TstBeeper : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        raw_ = dir_.filePath("tone.raw");
        // ALSA's configuration for this process alone: the default device writes what it plays.
        const QString conf = dir_.filePath("asound.conf");
        QFile file(conf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            QString("pcm.!default { type file slave.pcm \"sink\" file \"%1\" format \"raw\" }\n"
                    "pcm.sink { type null }\n")
                .arg(raw_)
                .toUtf8());
        file.close();
        qputenv("ALSA_CONFIG_PATH", conf.toLocal8Bit());
    }

    // 1000 Hz for 100 ms at 48 kHz: 4800 frames of 16 bits, 24 frames up, 24 down.
    void toneIsPlayedWholeAtItsPitch() {
        qv::MakePlatformBeeper()->beep(1000, 100);
        QFile file(raw_);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 4800 * 2);
        std::vector<std::int16_t> samples(4800);
        std::memcpy(samples.data(), bytes.constData(), bytes.size());
        int changes = 0;
        for (std::size_t i = 1; i < samples.size(); ++i)
            changes += samples[i] != samples[i - 1];
        QCOMPARE(samples[0], std::int16_t(8000));
        QCOMPARE(samples[24], std::int16_t(-8000));
        QCOMPARE(changes, 199); // 100 periods: 200 half-periods
    }

    // No tone for what cannot sound: nothing reaches the device.
    void nothingForANonPositiveTone() {
        QFile::remove(raw_);
        qv::MakePlatformBeeper()->beep(0, 100);
        qv::MakePlatformBeeper()->beep(1000, 0);
        QVERIFY(!QFile::exists(raw_) || QFileInfo(raw_).size() == 0);
    }

private:
    QTemporaryDir dir_;
    QString raw_;
};

QTEST_APPLESS_MAIN(TstBeeper)
#include "tst_beeper.moc"
