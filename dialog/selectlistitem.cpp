#include "dialog/selectlistitem.h"

#include "dialog/errortraps.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

#include <QComboBox>

namespace condora {

void selectListItem(QComboBox *list, const QString &value, ListMatch match)
{
    errortraps::reportErrors([&] {
        if (list == nullptr) {
            throw RuntimeError::objectNotSet(QStringLiteral("selectListItem: no list"));
        }
        const bool byItemData = match == ListMatch::ItemData;
        const QString wanted = text::trim(value);
        for (int i = 0; i < list->count(); ++i) {
            const QString entry = byItemData ? QString::number(list->itemData(i).toInt()) : list->itemText(i);
            if (text::trim(entry) == wanted) {
                list->setCurrentIndex(i);
                return;
            }
        }
        if (!byItemData) {
            list->setCurrentIndex(-1);
        }
    });
}

} // namespace condora
