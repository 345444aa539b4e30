#include "program/lamp.h"

#include <QPainter>

namespace qv {

Lamp::Lamp(Shape shape, QColor fill, QWidget* parent)
    : QWidget(parent), shape_(shape), fill_(fill) {
    // The lamp takes the mouse so that its tooltip shows (Qt asks the widget under the mouse),
    // but it handles no press, click or wheel: QWidget leaves them unaccepted, and Qt passes
    // them on to the widget the lamp sits on, as if the lamp were not there.
}

void Lamp::setColor(const QColor& fill) {
    if (fill == fill_)
        return;
    fill_ = fill;
    update();
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fill_);
    // The 1-pixel pen is centred on the outline; half a pixel inwards keeps it inside the widget.
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (shape_ == Shape::Circle) {
        // A circle, not an ellipse: the largest one that fits, centred.
        const qreal d = std::min(box.width(), box.height());
        painter.drawEllipse(QRectF(box.center().x() - d / 2, box.center().y() - d / 2, d, d));
    } else {
        const qreal r = std::min(box.width(), box.height()) / 4;
        painter.drawRoundedRect(box, r, r);
    }
}

} // namespace qv
