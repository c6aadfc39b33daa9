#include "control/typedrows_p.h"

#include <QDateTime>

using namespace Qt::StringLiterals;

namespace condora {

TypedRows::TypedRows(std::shared_ptr<ado::RowSource> rows, QList<int> types)
    : m_rows(std::move(rows))
    , m_types(std::move(types))
{
}

QVariant TypedRows::value(int row, int column) const
{
    QVariant value = m_rows->value(row, column);
    if (value.isNull() || value.typeId() != QMetaType::QString || column < 0 || column >= m_types.size()) {
        return value;
    }
    const QString text = value.toString();
    QVariant typed;
    switch (m_types.at(column)) {
    case ado::adDate:
    case ado::adDBDate:
        typed = QDate::fromString(text, Qt::ISODate);
        break;
    case ado::adDBTime:
        typed = QTime::fromString(text, Qt::ISODate);
        break;
    case ado::adDBTimeStamp: {
        QDateTime stamp = QDateTime::fromString(text, u"yyyy-MM-dd HH:mm:ss"_s);
        typed = stamp.isValid() ? stamp : QDateTime::fromString(text, Qt::ISODate);
        break;
    }
    default:
        return value;
    }
    return typed.isValid() && !typed.isNull() ? typed : value;
}

} // namespace condora
