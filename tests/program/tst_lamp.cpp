// What a lamp draws: the largest circle that fits, centred in a box wider or taller than it, or a
// rounded rectangle filling its box; the fill inside, the outline black, the corners left alone.
#include "program/lamp.h"

#include <QApplication>
#include <QImage>
#include <QTest>

using qv::Lamp;

namespace {

QImage Drawn(Lamp::Shape shape, QSize size) {
    Lamp lamp(shape, Qt::yellow);
    lamp.resize(size);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    lamp.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool IsFill(const QImage& image, int x, int y) {
    return image.pixelColor(x, y) == QColor(Qt::yellow);
}

} // namespace

class TstLamp : public QObject {
    Q_OBJECT
private slots:
    void circleIsCentredInItsBox_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("square") << QSize(20, 20);
        QTest::newRow("wider") << QSize(60, 20);
        QTest::newRow("taller") << QSize(20, 60);
    }
    void circleIsCentredInItsBox() {
        QFETCH(QSize, size);
        const QImage image = Drawn(Lamp::Shape::Circle, size);
        const int cx = size.width() / 2, cy = size.height() / 2;
        const int r = std::min(size.width(), size.height()) / 2;
        QVERIFY(IsFill(image, cx, cy));
        // Just inside the circle on each side, and just outside it where the box goes on.
        for (const QPoint& p : {QPoint(cx - r + 3, cy), QPoint(cx + r - 3, cy),
                                QPoint(cx, cy - r + 3), QPoint(cx, cy + r - 3)})
            QVERIFY2(IsFill(image, p.x(), p.y()),
                     qPrintable(QString("%1,%2").arg(p.x()).arg(p.y())));
        for (const QPoint& p : {QPoint(cx - r - 3, cy), QPoint(cx + r + 2, cy),
                                QPoint(cx, cy - r - 3), QPoint(cx, cy + r + 2)})
            if (p.x() >= 0 && p.y() >= 0 && p.x() < size.width() && p.y() < size.height())
                QCOMPARE(image.pixelColor(p).alpha(), 0);
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0); // a corner of the box
        // The outline on the circle's left edge is dark.
        QVERIFY(image.pixelColor(cx - r, cy).lightness() < 128);
    }

    void roundedRectangleFillsItsBox() {
        const QImage image = Drawn(Lamp::Shape::RoundRect, QSize(60, 20));
        QVERIFY(IsFill(image, 30, 10));
        QVERIFY(IsFill(image, 3, 10));
        QVERIFY(IsFill(image, 56, 10));
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);        // the rounded corner
        QVERIFY(image.pixelColor(30, 0).lightness() < 128); // the outline along the top
    }
};

QTEST_MAIN(TstLamp)
#include "tst_lamp.moc"
