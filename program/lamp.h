#pragma once
// A painted lamp: a circle or a rounded rectangle with a 1-pixel black outline and a fill colour
// that can be read back. It shows its tooltip; mouse presses go on to the widget it sits on.

#include <QColor>
#include <QWidget>

namespace qv {

class Lamp : public QWidget {
    Q_OBJECT
public:
    enum class Shape { Circle, RoundRect };
    Lamp(Shape shape, QColor fill, QWidget* parent = nullptr);
    QColor color() const { return fill_; }
    void setColor(const QColor& fill);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Shape shape_;
    QColor fill_;
};

} // namespace qv
