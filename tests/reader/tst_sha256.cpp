// The profile fingerprint: the published SHA-256 test vectors, and every length around the
// padding's block boundary against Qt's own implementation.
#include "reader/sha256.h"

#include <QCryptographicHash>
#include <QtTest>

class TstSha256 : public QObject {
    Q_OBJECT

private slots:
    void publishedVectors_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("digest");
        QTest::newRow("empty")
            << QByteArray() << "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
        QTest::newRow("abc") << QByteArray("abc")
                             << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
        QTest::newRow("448 bits")
            << QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
            << "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";
        QTest::newRow("a million a")
            << QByteArray(1000000, 'a')
            << "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
    }
    void publishedVectors() {
        QFETCH(QByteArray, message);
        QFETCH(QString, digest);
        QCOMPARE(QString::fromStdString(
                     qv::reader::Sha256Hex(std::string_view(message.constData(), message.size()))),
                 digest);
    }

    void everyLengthAroundTheBlockBoundaries() {
        for (int length = 0; length <= 200; ++length) {
            QByteArray message(length, '\0');
            for (int i = 0; i < length; ++i)
                message[i] = static_cast<char>(i * 37 + 11); // bytes above 0x7F too
            const QString expected =
                QCryptographicHash::hash(message, QCryptographicHash::Sha256).toHex();
            QCOMPARE(QString::fromStdString(qv::reader::Sha256Hex(
                         std::string_view(message.constData(), message.size()))),
                     expected);
        }
    }
};

QTEST_GUILESS_MAIN(TstSha256)
#include "tst_sha256.moc"
