#include "platform/ado/rowstore.h"

#include <QDataStream>
#include <QDate>
#include <QDateTime>
#include <QIODevice>
#include <QLocale>
#include <QTime>

#include <cstring>

namespace condora::ado {

namespace {

constexpr qsizetype blockSize = 256 * 1024;

enum Tag : quint8 {
    TagNull,
    TagFalse,
    TagTrue,
    TagInt32,    // zigzag varint
    TagInt64,    // zigzag varint
    TagUInt64,   // varint
    TagDouble,   // 8 bytes
    TagText,     // varint length + UTF-8
    TagBytes,    // varint length + bytes
    TagDate,     // zigzag varint Julian day
    TagTime,     // varint milliseconds since midnight
    TagDateTime, // varint length + ISO text with milliseconds and offset
    TagOther,    // varint length + QDataStream of the QVariant
};

void putVarint(QByteArray &out, quint64 v)
{
    while (v >= 0x80) {
        out.append(char(quint8(v) | 0x80));
        v >>= 7;
    }
    out.append(char(quint8(v)));
}

quint64 getVarint(const char *&p)
{
    quint64 v = 0;
    int shift = 0;
    for (;;) {
        const quint8 byte = quint8(*p++);
        v |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80)) {
            return v;
        }
        shift += 7;
    }
}

quint64 zigzag(qint64 v)
{
    return (quint64(v) << 1) ^ quint64(v >> 63);
}

qint64 unzigzag(quint64 v)
{
    return qint64(v >> 1) ^ -qint64(v & 1);
}

void putBytes(QByteArray &out, quint8 tag, const QByteArray &bytes)
{
    out.append(char(tag));
    putVarint(out, quint64(bytes.size()));
    out.append(bytes);
}

// Skips one encoded cell.
void skip(const char *&p)
{
    const quint8 tag = quint8(*p++);
    switch (tag) {
    case TagNull:
    case TagFalse:
    case TagTrue:
        return;
    case TagInt32:
    case TagInt64:
    case TagUInt64:
    case TagDate:
    case TagTime:
        getVarint(p);
        return;
    case TagDouble:
        p += sizeof(double);
        return;
    default: {
        const quint64 length = getVarint(p);
        p += length;
        return;
    }
    }
}

QString timeText(const QTime &time)
{
    return time.toString(time.msec() ? u"HH:mm:ss.zzz" : u"HH:mm:ss");
}

} // namespace

void RowStore::encode(const QVariant &value)
{
    QByteArray &out = m_scratch;
    if (value.isNull()) {
        out.append(char(TagNull));
        return;
    }
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        out.append(char(value.toBool() ? TagTrue : TagFalse));
        return;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
        out.append(char(TagInt32));
        putVarint(out, zigzag(value.toInt()));
        return;
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        out.append(char(TagInt64));
        putVarint(out, zigzag(value.toLongLong()));
        return;
    case QMetaType::ULongLong:
        out.append(char(TagUInt64));
        putVarint(out, value.toULongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        out.append(char(TagDouble));
        out.append(reinterpret_cast<const char *>(&d), sizeof d);
        return;
    }
    case QMetaType::QString:
        putBytes(out, TagText, value.toString().toUtf8());
        return;
    case QMetaType::QByteArray:
        putBytes(out, TagBytes, value.toByteArray());
        return;
    case QMetaType::QDate:
        out.append(char(TagDate));
        putVarint(out, zigzag(value.toDate().toJulianDay()));
        return;
    case QMetaType::QTime:
        out.append(char(TagTime));
        putVarint(out, quint64(value.toTime().msecsSinceStartOfDay()));
        return;
    case QMetaType::QDateTime:
        putBytes(out, TagDateTime, value.toDateTime().toString(Qt::ISODateWithMs).toUtf8());
        return;
    default: {
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << value;
        putBytes(out, TagOther, bytes);
        return;
    }
    }
}

void RowStore::append(const QList<QVariant> &values)
{
    m_scratch.resize(0); // keeps its capacity for the next row (clear() would free it)
    for (int column = 0; column < m_columnCount; ++column) {
        encode(column < values.size() ? values.at(column) : QVariant());
    }
    storeScratch();
}

void RowStore::beginRow()
{
    m_scratch.resize(0);
    m_cellsInRow = 0;
}

void RowStore::addNull()
{
    if (m_cellsInRow++ < m_columnCount) {
        m_scratch.append(char(TagNull));
    }
}

void RowStore::addInteger(qint64 value)
{
    if (m_cellsInRow++ < m_columnCount) {
        m_scratch.append(char(TagInt64));
        putVarint(m_scratch, zigzag(value));
    }
}

void RowStore::addDouble(double value)
{
    if (m_cellsInRow++ < m_columnCount) {
        m_scratch.append(char(TagDouble));
        m_scratch.append(reinterpret_cast<const char *>(&value), sizeof value);
    }
}

void RowStore::addText(const char *utf8, qsizetype size)
{
    if (m_cellsInRow++ < m_columnCount) {
        m_scratch.append(char(TagText));
        putVarint(m_scratch, quint64(size));
        m_scratch.append(utf8, size);
    }
}

void RowStore::addBytes(const char *data, qsizetype size)
{
    if (m_cellsInRow++ < m_columnCount) {
        m_scratch.append(char(TagBytes));
        putVarint(m_scratch, quint64(size));
        m_scratch.append(data, size);
    }
}

void RowStore::addValue(const QVariant &value)
{
    if (m_cellsInRow++ < m_columnCount) {
        encode(value);
    }
}

void RowStore::endRow()
{
    for (; m_cellsInRow < m_columnCount; ++m_cellsInRow) {
        m_scratch.append(char(TagNull));
    }
    storeScratch();
}

void RowStore::storeScratch()
{
    const qsizetype size = m_scratch.size();
    if (m_blocks.empty() || m_blocks.back().size() + size > m_blocks.back().capacity()) {
        QByteArray block;
        block.reserve(qMax(blockSize, size));
        m_blocks.push_back(std::move(block));
    }
    QByteArray &block = m_blocks.back();
    m_rows.push_back({quint32(m_blocks.size() - 1), quint32(block.size())});
    // Copied by pointer: appending a QByteArray to an empty one would share that array's
    // buffer instead of filling the block reserved for many rows.
    block.append(m_scratch.constData(), size);
}

const char *RowStore::cell(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columnCount) {
        return nullptr;
    }
    const Location &location = m_rows[size_t(row)];
    const char *p = m_blocks[location.block].constData() + location.offset;
    for (int c = 0; c < column; ++c) {
        skip(p);
    }
    return p;
}

QVariant RowStore::value(int row, int column) const
{
    const char *p = cell(row, column);
    if (!p) {
        return {};
    }
    const quint8 tag = quint8(*p++);
    switch (tag) {
    case TagFalse:
        return false;
    case TagTrue:
        return true;
    case TagInt32:
        return int(unzigzag(getVarint(p)));
    case TagInt64:
        return qlonglong(unzigzag(getVarint(p)));
    case TagUInt64:
        return qulonglong(getVarint(p));
    case TagDouble: {
        double d;
        std::memcpy(&d, p, sizeof d);
        return d;
    }
    case TagDate:
        return QDate::fromJulianDay(unzigzag(getVarint(p)));
    case TagTime:
        return QTime::fromMSecsSinceStartOfDay(int(getVarint(p)));
    case TagText:
    case TagBytes:
    case TagDateTime:
    case TagOther: {
        const qsizetype length = qsizetype(getVarint(p));
        if (tag == TagText) {
            return QString::fromUtf8(p, length);
        }
        if (tag == TagBytes) {
            return QByteArray(p, length);
        }
        if (tag == TagDateTime) {
            return QDateTime::fromString(QString::fromUtf8(p, length), Qt::ISODateWithMs);
        }
        QVariant other;
        QDataStream stream(QByteArray::fromRawData(p, length));
        stream >> other;
        return other;
    }
    default:
        return {};
    }
}

QString RowStore::text(int row, int column) const
{
    const QVariant v = value(row, column);
    if (v.isNull()) {
        return {};
    }
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return timeText(v.toTime());
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.date().toString(Qt::ISODate) + u' ' + timeText(dt.time());
    }
    case QMetaType::QByteArray:
        return QString::fromLatin1(v.toByteArray().toHex());
    default:
        return v.toString();
    }
}

qint64 RowStore::bytesUsed() const
{
    qint64 bytes = qint64(m_rows.capacity() * sizeof(Location));
    for (const QByteArray &block : m_blocks) {
        bytes += block.capacity();
    }
    return bytes;
}

} // namespace condora::ado
