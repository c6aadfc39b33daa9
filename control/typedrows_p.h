#pragma once

// Rows whose date and time columns arrive as text (SQLite keeps them so, and its driver hands
// them over so) given as QDate, QTime and QDateTime, as the columns' types say. Not part of the
// public API.

#include "platform/ado/recordset.h"

#include <QList>

#include <memory>

namespace condora {

class TypedRows : public ado::RowSource
{
public:
    /// `types`: the DataTypeEnum number of each column (Recordset::fieldType()).
    TypedRows(std::shared_ptr<ado::RowSource> rows, QList<int> types);

    int columnCount() const override { return m_rows->columnCount(); }
    QString columnName(int column) const override { return m_rows->columnName(column); }
    int fetchedCount() const override { return m_rows->fetchedCount(); }
    bool atEnd() const override { return m_rows->atEnd(); }
    int fetchMore(int count) override { return m_rows->fetchMore(count); }
    /// The value, a date, time or time stamp column's text as its date or time type (text that
    /// does not read as one stays text).
    QVariant value(int row, int column) const override;
    QString text(int row, int column) const override { return m_rows->text(row, column); }
    void release() override { m_rows->release(); }
    QString fetchError() const override { return m_rows->fetchError(); }
    void lendActivity(std::shared_ptr<ado::StatementActivity> activity, ado::StatementActivity *replaced) override
    {
        m_rows->lendActivity(std::move(activity), replaced);
    }

private:
    std::shared_ptr<ado::RowSource> m_rows;
    QList<int> m_types;
};

} // namespace condora
