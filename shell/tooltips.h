#pragma once
// The main window's tooltips: what each control does and what its value means, in the active
// language. FormShow applies them after its texts, so they follow the language buttons.

class QWidget;

namespace qv {

// Sets the tooltip of every control of `window` that the table names, in `language`.
void ApplyToolTips(QWidget* window, int language);

} // namespace qv
