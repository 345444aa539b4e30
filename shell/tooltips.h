#pragma once
// The main window's tooltips: what each control does and what its value means, in the active
// language. FormShow applies them after its texts, so they follow the language buttons.

#include <QString>

class QWidget;

namespace qv {

// Message row `k` as a tooltip in `language`: one sentence a line.
QString ToolTipText(int k, int language);
// Sets the tooltip of every control of `window` that the table names, in `language`.
void ApplyToolTips(QWidget* window, int language);

} // namespace qv
