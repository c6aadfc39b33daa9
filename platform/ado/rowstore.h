#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

namespace condora::ado {

/// Fetched rows kept compactly: each row is one run of tagged cells (variable-length integers,
/// UTF-8 text) in large shared blocks, found through one small index entry per row. There is
/// no heap object per row or per cell, so memory grows with the bytes fetched only.
class RowStore
{
public:
    explicit RowStore(int columnCount) : m_columnCount(columnCount) {}

    int columnCount() const { return m_columnCount; }
    int rowCount() const { return int(m_rows.size()); }

    /// From now on one thread may append rows while others read the rows appended before
    /// (value(), text()): each append takes a short lock where the index could move. The
    /// readers learn how many rows there are from the writer, not from rowCount().
    void shareWithReaders()
    {
        if (!m_share) {
            m_share = std::make_unique<std::shared_mutex>();
        }
    }

    /// Appends one row; `values` holds columnCount() values (missing ones are stored as NULL).
    void append(const QList<QVariant> &values);

    ///@{
    /// Appends one row cell by cell, without a QVariant per value: beginRow(), then one add
    /// call per column in order, then endRow(). A row with fewer cells is completed with NULLs,
    /// extra cells are dropped. The values read back exactly as append() would give them for
    /// the same QVariants (qlonglong, double, QString, QByteArray, NULL).
    void beginRow();
    void addNull();
    void addBool(bool value);
    /// Reads back as int.
    void addInt32(qint32 value);
    /// Reads back as qlonglong.
    void addInteger(qint64 value);
    /// Reads back as qulonglong.
    void addUnsigned(quint64 value);
    void addDouble(double value);
    /// Reads back as the QDate of this Julian day.
    void addDate(qint64 julianDay);
    /// UTF-8 text, stored as given; `size` bytes (embedded NULs are kept).
    void addText(const char *utf8, qsizetype size);
    void addBytes(const char *data, qsizetype size);
    void addValue(const QVariant &value);
    void endRow();
    ///@}

    /// The stored value: the same type as appended for the common SQL types, a null QVariant
    /// for NULL; out of range gives a null QVariant.
    QVariant value(int row, int column) const;
    /// The value as text: empty for NULL, "True"/"False" for booleans, ISO dates
    /// ("yyyy-MM-dd", "HH:mm:ss", "yyyy-MM-dd HH:mm:ss"), shortest round-trip numbers.
    QString text(int row, int column) const;

    /// Bytes held by the blocks and the row index.
    qint64 bytesUsed() const;
    /// Bytes the rows' cells take, without the blocks' free space and the index.
    qint64 cellBytes() const { return m_cellBytes; }

private:
    struct Location
    {
        quint32 block;
        quint32 offset;
    };
    struct Block
    {
        std::unique_ptr<char[]> data;
        qsizetype capacity = 0;
    };
    const char *cell(int row, int column) const;
    void encode(const QVariant &value);
    /// Where the next `bytes` bytes of the row being written go: the end of the last block, or
    /// a new block the row so far is moved to when the last one is full.
    char *room(qsizetype bytes);
    void putTag(quint8 tag);
    void putDouble(double value);
    void putTagged(quint8 tag, const char *data, qsizetype size);
    void putTaggedNumber(quint8 tag, quint64 number);

    int m_columnCount;
    std::vector<Block> m_blocks;
    std::vector<Location> m_rows;
    // The row being written runs from m_rowStart to m_end in the last block.
    char *m_rowStart = nullptr;
    char *m_end = nullptr;
    char *m_limit = nullptr;
    int m_cellsInRow = 0;
    qint64 m_cellBytes = 0;
    std::unique_ptr<std::shared_mutex> m_share; // set once rows are read from another thread
};

} // namespace condora::ado
