#include "platform/ado/rowstore.h"

#include <QDataStream>
#include <QDate>
#include <QDateTime>
#include <QIODevice>
#include <QLocale>
#include <QTime>

#include <algorithm>
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

// Writes v as a varint at p (at most 10 bytes) and returns the end.
char *putVarint(char *p, quint64 v)
{
    while (v >= 0x80) {
        *p++ = char(quint8(v) | 0x80);
        v >>= 7;
    }
    *p++ = char(quint8(v));
    return p;
}

constexpr qsizetype maxVarint = 10;

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

char *RowStore::room(qsizetype bytes)
{
    if (m_limit - m_end >= bytes) {
        return m_end;
    }
    const qsizetype written = m_end - m_rowStart;
    Block block;
    block.capacity = std::max(blockSize, written + bytes);
    block.data.reset(new char[size_t(block.capacity)]);
    if (written > 0) {
        std::memcpy(block.data.get(), m_rowStart, size_t(written));
    }
    m_rowStart = block.data.get();
    m_end = m_rowStart + written;
    m_limit = m_rowStart + block.capacity;
    if (m_share) {
        const std::unique_lock lock(*m_share);
        m_blocks.push_back(std::move(block));
    } else {
        m_blocks.push_back(std::move(block));
    }
    return m_end;
}

void RowStore::putTagged(quint8 tag, const char *data, qsizetype size)
{
    char *p = room(1 + maxVarint + size);
    *p++ = char(tag);
    p = putVarint(p, quint64(size));
    if (size > 0) {
        std::memcpy(p, data, size_t(size));
    }
    m_end = p + size;
}

void RowStore::putTag(quint8 tag)
{
    *room(1) = char(tag);
    ++m_end;
}

void RowStore::putDouble(double value)
{
    char *p = room(1 + sizeof value);
    *p = char(TagDouble);
    std::memcpy(p + 1, &value, sizeof value);
    m_end = p + 1 + sizeof value;
}

void RowStore::putTaggedNumber(quint8 tag, quint64 number)
{
    char *p = room(1 + maxVarint);
    *p++ = char(tag);
    m_end = putVarint(p, number);
}

void RowStore::encode(const QVariant &value)
{
    if (value.isNull()) {
        putTag(TagNull);
        return;
    }
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        putTag(value.toBool() ? TagTrue : TagFalse);
        return;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
        putTaggedNumber(TagInt32, zigzag(value.toInt()));
        return;
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        putTaggedNumber(TagInt64, zigzag(value.toLongLong()));
        return;
    case QMetaType::ULongLong:
        putTaggedNumber(TagUInt64, value.toULongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        putDouble(value.toDouble());
        return;
    case QMetaType::QString: {
        const QByteArray utf8 = value.toString().toUtf8();
        putTagged(TagText, utf8.constData(), utf8.size());
        return;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        putTagged(TagBytes, bytes.constData(), bytes.size());
        return;
    }
    case QMetaType::QDate:
        putTaggedNumber(TagDate, zigzag(value.toDate().toJulianDay()));
        return;
    case QMetaType::QTime:
        putTaggedNumber(TagTime, quint64(value.toTime().msecsSinceStartOfDay()));
        return;
    case QMetaType::QDateTime: {
        const QByteArray text = value.toDateTime().toString(Qt::ISODateWithMs).toUtf8();
        putTagged(TagDateTime, text.constData(), text.size());
        return;
    }
    default: {
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << value;
        putTagged(TagOther, bytes.constData(), bytes.size());
        return;
    }
    }
}

void RowStore::append(const QList<QVariant> &values)
{
    beginRow();
    for (int column = 0; column < m_columnCount; ++column) {
        encode(column < values.size() ? values.at(column) : QVariant());
    }
    m_cellsInRow = m_columnCount;
    endRow();
}

void RowStore::beginRow()
{
    m_rowStart = m_end;
    m_cellsInRow = 0;
}

void RowStore::addNull()
{
    if (m_cellsInRow++ < m_columnCount) {
        putTag(TagNull);
    }
}

void RowStore::addBool(bool value)
{
    if (m_cellsInRow++ < m_columnCount) {
        putTag(value ? TagTrue : TagFalse);
    }
}

void RowStore::addInt32(qint32 value)
{
    if (m_cellsInRow++ < m_columnCount) {
        putTaggedNumber(TagInt32, zigzag(value));
    }
}

void RowStore::addInteger(qint64 value)
{
    if (m_cellsInRow++ < m_columnCount) {
        putTaggedNumber(TagInt64, zigzag(value));
    }
}

void RowStore::addUnsigned(quint64 value)
{
    if (m_cellsInRow++ < m_columnCount) {
        putTaggedNumber(TagUInt64, value);
    }
}

void RowStore::addDouble(double value)
{
    if (m_cellsInRow++ < m_columnCount) {
        putDouble(value);
    }
}

void RowStore::addDate(qint64 julianDay)
{
    if (m_cellsInRow++ < m_columnCount) {
        putTaggedNumber(TagDate, zigzag(julianDay));
    }
}

void RowStore::addText(const char *utf8, qsizetype size)
{
    if (m_cellsInRow++ < m_columnCount) {
        putTagged(TagText, utf8, size);
    }
}

void RowStore::addBytes(const char *data, qsizetype size)
{
    if (m_cellsInRow++ < m_columnCount) {
        putTagged(TagBytes, data, size);
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
        putTag(TagNull);
    }
    if (m_blocks.empty()) {
        room(1); // a row of no columns before any other still needs a block to point into
    }
    const Block &block = m_blocks.back();
    const Location location{quint32(m_blocks.size() - 1), quint32(m_rowStart - block.data.get())};
    if (m_share) {
        const std::unique_lock lock(*m_share);
        m_rows.push_back(location);
    } else {
        m_rows.push_back(location);
    }
    m_cellBytes += m_end - m_rowStart;
    m_rowStart = m_end;
}

const char *RowStore::cell(int row, int column) const
{
    std::shared_lock<std::shared_mutex> lock;
    if (m_share) {
        lock = std::shared_lock(*m_share);
    }
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columnCount) {
        return nullptr;
    }
    const Location location = m_rows[size_t(row)];
    const char *p = m_blocks[location.block].data.get() + location.offset;
    if (lock.owns_lock()) {
        lock.unlock(); // a row once appended never moves
    }
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
    for (const Block &block : m_blocks) {
        bytes += block.capacity;
    }
    return bytes;
}

} // namespace condora::ado
