#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

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

    /// Appends one row; `values` holds columnCount() values (missing ones are stored as NULL).
    void append(const QList<QVariant> &values);

    ///@{
    /// Appends one row cell by cell, without a QVariant per value: beginRow(), then one add
    /// call per column in order, then endRow(). A row with fewer cells is completed with NULLs,
    /// extra cells are dropped. The values read back exactly as append() would give them for
    /// the same QVariants (qlonglong, double, QString, QByteArray, NULL).
    void beginRow();
    void addNull();
    void addInteger(qint64 value);
    void addDouble(double value);
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

private:
    struct Location
    {
        quint32 block;
        quint32 offset;
    };
    const char *cell(int row, int column) const;
    void encode(const QVariant &value);
    void storeScratch();

    int m_columnCount;
    std::vector<QByteArray> m_blocks;
    std::vector<Location> m_rows;
    QByteArray m_scratch;
    int m_cellsInRow = 0;
};

} // namespace condora::ado
