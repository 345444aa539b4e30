// The designed kinds of control: fonts by pixel size, value panels, lists, buttons and the tab
// order, built the same way wherever the window places one.
#include "shell/designed_controls.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace qv::design {

namespace {

// Qt has no palette role for the active caption; this is the classic dark caption blue, which
// keeps the white status text readable.
const QColor kActiveCaption(10, 36, 106);

} // namespace

// Faces with the narrow proportions of the designed font, in the order of preference.
const QStringList& NarrowFaces() {
    static const QStringList faces = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                      QStringLiteral("Nimbus Sans"), QStringLiteral("Arial")};
    return faces;
}

namespace {

// Without any narrow face Qt falls back to a wide one (DejaVu Sans on a bare Debian), which
// clips captions such as "Wiegand 26 bits" and "0010" in its 49-pixel panel; that face is
// drawn at 80 % of its width instead, which Qt synthesises where no condensed cut exists.
int FontStretch() {
    static const int stretch = [] {
        for (const QString& face : NarrowFaces())
            if (QFontDatabase::hasFamily(face))
                return 100;
        return 80;
    }();
    return stretch;
}

} // namespace

QFont DesignFont(int pixelSize, bool bold) {
    // "MS Sans Serif" is rarely installed off Windows; the style hint lets Qt substitute a
    // sans-serif face, and missing Chinese glyphs come from a CJK font by font fallback.
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    if (FontStretch() != 100)
        font.setStretch(FontStretch());
    return font;
}

// Every widget remembers its designed tab position; the order is applied once all exist.
void Place(QWidget* w, const char* name, QRect geometry, int tab) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    w->setProperty("tabIndex", tab);
}

namespace {

// A value panel: yellow text on the highlight colour inside a single dark line. The style draws
// a plain frame in the text colour, so the line is drawn over it here.
class ValuePanel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

} // namespace

QLabel* Panel(QWidget* parent, const char* name, QRect geometry, int tab, const char* text,
              PanelStyle style) {
    QLabel* panel = style == PanelStyle::Status
                        ? static_cast<QLabel*>(new StatusPanel(QString::fromUtf8(text), parent))
                        : new ValuePanel(QString::fromUtf8(text), parent);
    Place(panel, name, geometry, tab);
    // Text from the reader (serial number, version, tag data) must never render as markup.
    panel->setTextFormat(Qt::PlainText);
    panel->setAlignment(Qt::AlignCenter);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    if (style == PanelStyle::Status) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        palette.setColor(QPalette::Window, kActiveCaption);
        palette.setColor(QPalette::WindowText, Qt::white);
        panel->setFont(DesignFont(19, true));
    } else {
        // The yellow text takes a palette role of its own; the window-text colour stays for
        // the border.
        panel->setFrameStyle(QFrame::Box | QFrame::Plain);
        panel->setForegroundRole(QPalette::BrightText);
        palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
        palette.setColor(QPalette::BrightText, kYellow);
        panel->setFont(DesignFont(style == PanelStyle::Large ? 19 : 13, true));
    }
    panel->setLineWidth(1);
    panel->setPalette(palette);
    return panel;
}

void StatusPanel::setTextRight(int x) {
    textRight_ = x;
    update();
}

QRect StatusPanel::textArea() const {
    QRect area = contentsRect();
    if (textRight_ >= 0)
        area.setRight(std::min(area.right(), textRight_));
    return area;
}

void StatusPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    // Drawn as plain text: no markup, no mnemonics.
    painter.drawText(textArea(), static_cast<int>(alignment()), text());
}

QLabel* Label(QWidget* parent, const char* name, QRect geometry, const char* text,
              Qt::Alignment align) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    Place(label, name, geometry);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(align | Qt::AlignVCenter);
    label->setFont(DesignFont(13, false));
    return label;
}

QPushButton* Button(QWidget* parent, const char* name, QRect geometry, int tab, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    Place(button, name, geometry, tab);
    button->setAutoDefault(false);
    return button;
}

QScrollBar* ScrollBar(QWidget* parent, const char* name, QRect geometry, int tab, int minimum,
                      int maximum, int position) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    Place(bar, name, geometry, tab);
    bar->setRange(minimum, maximum);
    bar->setSingleStep(1);
    bar->setPageStep(10); // every bar's large step
    bar->setValue(position);
    bar->setFocusPolicy(Qt::StrongFocus);
    return bar;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, QRect geometry, int tab, const char* text,
                    bool checked, int fontPixels) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    Place(box, name, geometry, tab);
    box->setChecked(checked);
    if (fontPixels > 0)
        box->setFont(DesignFont(fontPixels, false));
    return box;
}

QRadioButton* RadioButton(QWidget* parent, const char* name, QRect geometry, int tab,
                          const char* text, bool checked) {
    auto* radio = new QRadioButton(QString::fromUtf8(text), parent);
    Place(radio, name, geometry, tab);
    radio->setFont(DesignFont(12, false));
    radio->setChecked(checked);
    return radio;
}

QGroupBox* GroupBox(QWidget* parent, const char* name, QRect geometry, int tab, const char* text) {
    auto* box = new QGroupBox(QString::fromUtf8(text), parent);
    Place(box, name, geometry, tab);
    return box;
}

namespace {

// The list rows of a drop-down list have a designed height.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    RowHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

} // namespace

void StyleList(QComboBox* list, int fontPixels, int rowHeight) {
    list->setEditable(false);
    list->setFont(DesignFont(fontPixels, true));
    QPalette palette = list->palette();
    const QColor background = palette.color(QPalette::Highlight);
    for (auto role : {QPalette::Button, QPalette::Base, QPalette::Window})
        palette.setColor(role, background);
    for (auto role : {QPalette::ButtonText, QPalette::Text, QPalette::WindowText})
        palette.setColor(role, kYellow);
    list->setPalette(palette);
    list->setItemDelegate(new RowHeightDelegate(rowHeight, list));
    list->view()->setPalette(palette);
}

QComboBox* List(QComboBox* list, QWidget* parent, const char* name, QRect geometry, int tab,
                const QStringList& items, int selected) {
    list->setParent(parent);
    Place(list, name, geometry, tab);
    list->addItems(items);
    list->setCurrentIndex(selected);
    return list;
}

// Two Chinese characters in red on a transparent 34 x 16 picture.
QIcon LanguagePicture(const QString& characters) {
    QPixmap picture(34, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    QFont font = DesignFont(15, false);
    painter.setFont(font);
    painter.setPen(kRed);
    painter.drawText(picture.rect(), Qt::AlignCenter, characters);
    painter.end();
    return QIcon(picture);
}

// Applies the designed tab positions: within each container its children in tab order, and a
// container's own children right after it.
void CollectTabOrder(QWidget* container, std::vector<QWidget*>& order) {
    std::vector<QWidget*> children;
    for (QObject* child : container->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && !w->isWindow())
            children.push_back(w);
    }
    std::stable_sort(children.begin(), children.end(), [](QWidget* a, QWidget* b) {
        return a->property("tabIndex").toInt() < b->property("tabIndex").toInt();
    });
    for (QWidget* w : children) {
        if (w->property("tabIndex").toInt() < 0)
            continue;
        if (w->focusPolicy() & Qt::TabFocus)
            order.push_back(w);
        CollectTabOrder(w, order);
    }
}

} // namespace qv::design
