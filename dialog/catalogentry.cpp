#include "dialog/catalogentry.h"

#include "platform/runtimeerror.h"

#include <QLocale>

#include <climits>
#include <cmath>

namespace condora {

int positionFromText(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) {
        throw RuntimeError::typeMismatch(QStringLiteral("not a column position: \"%1\"").arg(text));
    }
    const double rounded = std::nearbyint(value);
    if (rounded < double(INT_MIN) || rounded > double(INT_MAX)) {
        throw RuntimeError(6, QStringLiteral("Overflow"));
    }
    return int(rounded);
}

const ColumnInfo &catalogEntry(const FieldCatalog &catalog, int position)
{
    if (position < 0 || position >= catalog.size()) {
        throw RuntimeError::subscriptOutOfRange(
            QStringLiteral("column position %1 is not in the field catalog").arg(position));
    }
    return catalog.at(position);
}

bool uniqueResultName(const FieldCatalog &catalog, const QString &name)
{
    int same = 0;
    for (int i = 1; i < catalog.size(); ++i) {
        same += catalog.at(i).colName.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
    }
    return same == 1;
}

} // namespace condora
