#include "settings/selectalltext.h"

#include <QLineEdit>

namespace tarvisk {

void SelectAllText(QLineEdit *field)
{
    if (field)
        field->setSelection(0, int(field->text().size()));
}

} // namespace tarvisk
