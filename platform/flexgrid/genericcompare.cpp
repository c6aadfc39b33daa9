#include "platform/flexgrid/genericcompare.h"

#include <QLocale>

#include <cmath>

namespace condora {

bool readsAsNumber(const QString &text, double *value)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return false;
    }
    static const QLocale c = [] {
        QLocale locale = QLocale::c();
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        return locale;
    }();
    bool ok = false;
    const double number = c.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(number)) {
        return false;
    }
    if (value) {
        *value = number;
    }
    return true;
}

GenericSortKey::GenericSortKey(const QString &cellText)
    : text(cellText)
{
    isNumber = readsAsNumber(cellText, &number);
}

int genericCompare(const GenericSortKey &a, const GenericSortKey &b)
{
    if (a.isNumber && b.isNumber) {
        return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    }
    if (a.isNumber != b.isNumber) {
        return a.isNumber ? -1 : 1;
    }
    const int folded = a.text.compare(b.text, Qt::CaseInsensitive);
    if (folded != 0) {
        return folded;
    }
    return a.text.compare(b.text, Qt::CaseSensitive);
}

int genericCompare(const QString &a, const QString &b)
{
    return genericCompare(GenericSortKey(a), GenericSortKey(b));
}

} // namespace condora
