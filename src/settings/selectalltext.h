#pragma once

class QLineEdit;

namespace tarvisk {

// Selects the whole text of a text field (selection from 0 over its full length), leaving the caret
// at the end. A null field is ignored.
void SelectAllText(QLineEdit *field);

} // namespace tarvisk
