#pragma once
// The designed kinds of control of the main window. Each factory places the control at its
// designed geometry, names it after its designed name and remembers its designed tab position.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QRect>
#include <QStringList>
#include <vector>

class QWidget;
class QPushButton;
class QScrollBar;
class QCheckBox;
class QRadioButton;
class QGroupBox;
class QComboBox;

namespace qv::design {

inline const QColor kYellow{255, 255, 0};
inline const QColor kRed{255, 0, 0};

// Installed faces with the narrow proportions of the designed font, in order of preference.
const QStringList& NarrowFaces();
// "MS Sans Serif" at `pixelSize`, falling back to a sans-serif face.
QFont DesignFont(int pixelSize, bool bold);

void Place(QWidget* w, const char* name, QRect geometry, int tab = -1);

enum class PanelStyle { Large, Small, Status };

// The status panel. Its lamp sits inside it at the right; the text is centred in the part left
// of `textRight`, so that no status line runs under the lamp.
class StatusPanel : public QLabel {
public:
    using QLabel::QLabel;
    void setTextRight(int x);
    QRect textArea() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textRight_ = -1;
};

// A read-only plain-text panel: a value panel (yellow on the highlight colour) or the status panel.
QLabel* Panel(QWidget* parent, const char* name, QRect geometry, int tab, const char* text,
              PanelStyle style = PanelStyle::Large);
QLabel* Label(QWidget* parent, const char* name, QRect geometry, const char* text,
              Qt::Alignment align);
QPushButton* Button(QWidget* parent, const char* name, QRect geometry, int tab, const char* text);
QScrollBar* ScrollBar(QWidget* parent, const char* name, QRect geometry, int tab, int minimum,
                      int maximum, int position);
QCheckBox* CheckBox(QWidget* parent, const char* name, QRect geometry, int tab, const char* text,
                    bool checked, int fontPixels = 0);
QRadioButton* RadioButton(QWidget* parent, const char* name, QRect geometry, int tab,
                          const char* text, bool checked);
QGroupBox* GroupBox(QWidget* parent, const char* name, QRect geometry, int tab, const char* text);
// A drop-down list: yellow bold text on the highlight colour, rows of `rowHeight`, no typing.
void StyleList(QComboBox* list, int fontPixels, int rowHeight);
QComboBox* List(QComboBox* list, QWidget* parent, const char* name, QRect geometry, int tab,
                const QStringList& items, int selected);
// Two Chinese characters in red on a transparent 34 x 16 picture.
QIcon LanguagePicture(const QString& characters);
// The children of `container` with a designed tab position, in tab order, depth first.
void CollectTabOrder(QWidget* container, std::vector<QWidget*>& order);

} // namespace qv::design
