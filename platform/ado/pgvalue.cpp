#include "platform/ado/pgvalue.h"

#include "platform/ado/libpq.h"
#include "platform/ado/rowstore.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <charconv>
#include <cmath>
#include <limits>

namespace condora::ado {

namespace {

// PostgreSQL's built-in type OIDs.
enum Oid : unsigned {
    BoolOid = 16, ByteaOid = 17, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, Float4Oid = 700, Float8Oid = 701, AbstimeOid = 702, ReltimeOid = 703,
    DateOid = 1082, TimeOid = 1083, TimestampOid = 1114, TimestampTzOid = 1184, TimeTzOid = 1266,
    NumericOid = 1700,
};

QMetaType::Type metaType(unsigned oid)
{
    switch (oid) {
    case BoolOid:
        return QMetaType::Bool;
    case Int8Oid:
        return QMetaType::LongLong;
    case Int2Oid:
    case Int4Oid:
        return QMetaType::Int;
    case NumericOid:
    case Float4Oid:
    case Float8Oid:
        return QMetaType::Double;
    case AbstimeOid:
    case ReltimeOid:
    case DateOid:
        return QMetaType::QDate;
    case TimeOid:
    case TimeTzOid:
        return QMetaType::QTime;
    case TimestampOid:
    case TimestampTzOid:
        return QMetaType::QDateTime;
    case ByteaOid:
        return QMetaType::QByteArray;
    default:
        return QMetaType::QString;
    }
}

// Parses a decimal integer of the given width the way QByteArray::toLongLong and
// toULongLong do for the server's plain digits; falls back to them for anything else.
template<typename Int>
Int integer(const char *text, int length)
{
    const char *p = text;
    const bool negative = *p == '-';
    if (negative) {
        ++p;
    }
    if (*p == '\0' || length > 19) {
        const QByteArray bytes = QByteArray::fromRawData(text, length);
        if constexpr (std::is_signed_v<Int>) {
            return Int(bytes.toLongLong());
        } else {
            return Int(bytes.toULongLong());
        }
    }
    quint64 value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') {
            const QByteArray bytes = QByteArray::fromRawData(text, length);
            if constexpr (std::is_signed_v<Int>) {
                return Int(bytes.toLongLong());
            } else {
                return Int(bytes.toULongLong());
            }
        }
        value = value * 10 + quint64(*p - '0');
    }
    return negative ? Int(-qint64(value)) : Int(value);
}

double floatingPoint(const char *text, int length, bool *ok)
{
    double value = QByteArray::fromRawData(text, length).toDouble(ok);
    if (!*ok) {
        *ok = true;
        if (qstricmp(text, "NaN") == 0) {
            value = std::numeric_limits<double>::quiet_NaN();
        } else if (qstricmp(text, "Infinity") == 0) {
            value = std::numeric_limits<double>::infinity();
        } else if (qstricmp(text, "-Infinity") == 0) {
            value = -std::numeric_limits<double>::infinity();
        } else {
            *ok = false;
        }
    }
    return value;
}

bool digits(const char *text, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

int number(const char *text, int from, int to)
{
    int value = 0;
    for (int i = from; i < to; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// QDate::fromString(text, Qt::ISODate), read directly for the plain "yyyy-mm-dd" the server
// writes for every date of the common era.
QDate date(const char *text, int length)
{
    if (length == 10 && text[4] == '-' && text[7] == '-' && digits(text, 0, 4) && digits(text, 5, 7)
        && digits(text, 8, 10)) {
        return QDate(number(text, 0, 4), number(text, 5, 7), number(text, 8, 10));
    }
    return QDate::fromString(QString::fromLatin1(text, length), Qt::ISODate);
}

// The whole text as a number of type T, or false when it is anything but the plain form
// (then the general conversion decides, as Qt's driver would).
template<typename T>
bool plainNumber(const char *text, int length, T *value)
{
    const auto [end, error] = std::from_chars(text, text + length, *value);
    if constexpr (std::is_floating_point_v<T>) {
        // Both conversions round correctly, so every finite value they both read is the same.
        return error == std::errc() && end == text + length && std::isfinite(*value);
    } else {
        return error == std::errc() && end == text + length;
    }
}

} // namespace

void appendPgValue(RowStore &store, const char *text, int length, unsigned oid, QSql::NumericalPrecisionPolicy policy)
{
    switch (metaType(oid)) {
    case QMetaType::Bool:
        store.addBool(text[0] == 't');
        return;
    case QMetaType::Int: {
        qint32 value = 0;
        if (plainNumber(text, length, &value)) {
            store.addInt32(value);
            return;
        }
        break;
    }
    case QMetaType::LongLong:
        if (text[0] == '-') {
            qint64 value = 0;
            if (plainNumber(text, length, &value)) {
                store.addInteger(value);
                return;
            }
        } else {
            quint64 value = 0;
            if (plainNumber(text, length, &value)) {
                store.addUnsigned(value);
                return;
            }
        }
        break;
    case QMetaType::Double: {
        double value = 0;
        if ((oid != NumericOid || policy == QSql::LowPrecisionDouble) && plainNumber(text, length, &value)) {
            store.addDouble(value);
            return;
        }
        break;
    }
    case QMetaType::QDate: {
        if (oid == DateOid) {
            const QDate value = date(text, length);
            if (value.isValid()) {
                store.addDate(value.toJulianDay());
                return;
            }
        }
        break;
    }
    case QMetaType::QString:
        store.addText(text, length);
        return;
    default:
        break;
    }
    store.addValue(pgValue(text, length, oid, policy));
}

QVariant pgNull(unsigned oid)
{
    return QVariant(QMetaType(metaType(oid)), nullptr);
}

QVariant pgValue(const char *text, int length, unsigned oid, QSql::NumericalPrecisionPolicy policy)
{
    switch (metaType(oid)) {
    case QMetaType::Bool:
        return QVariant(text[0] == 't');
    case QMetaType::LongLong:
        if (text[0] == '-') {
            return QVariant(integer<qlonglong>(text, length));
        }
        return QVariant(integer<qulonglong>(text, length));
    case QMetaType::Int:
        return QVariant(std::atoi(text));
    case QMetaType::Double: {
        if (oid == NumericOid && policy == QSql::HighPrecision) {
            return QVariant(QString::fromLatin1(text, length));
        }
        bool ok = false;
        const double value = floatingPoint(text, length, &ok);
        if (!ok) {
            return QVariant();
        }
        if (oid == NumericOid) {
            if (policy == QSql::LowPrecisionInt64) {
                return QVariant(qlonglong(value));
            }
            if (policy == QSql::LowPrecisionInt32) {
                return QVariant(int(value));
            }
        }
        return QVariant(value);
    }
    case QMetaType::QDate:
        return QVariant(date(text, length));
    case QMetaType::QTime:
        return QVariant(QTime::fromString(QString::fromLatin1(text, length), Qt::ISODate));
    case QMetaType::QDateTime:
        return QVariant(QDateTime::fromString(QString::fromLatin1(text, length), Qt::ISODate));
    case QMetaType::QByteArray: {
        const PgApi &pq = pgApi();
        size_t size = 0;
        unsigned char *bytes = pq.unescapeBytea(reinterpret_cast<const unsigned char *>(text), &size);
        QByteArray value(reinterpret_cast<const char *>(bytes), qsizetype(size));
        pq.freemem(bytes);
        return QVariant(value);
    }
    default:
        return QVariant(QString::fromUtf8(text, length));
    }
}

} // namespace condora::ado
