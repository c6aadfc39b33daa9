#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class Condora;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace condora {

class FlexGrid;
namespace ado {
class Connection;
class Recordset;
}

/// The demo program's one window. It opens the sample database once, hands it to its query
/// control, and shows what the control returns: the final statement of "GetSql" in the text
/// box, the rows of "GetRecordset" in the grid. Controls carry their names as objectName:
/// MSHFlexGrid1, Label1, txtSql, Condora1, cmdGetSql, cmdRecordset, cmdExit.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);
    ~Form2() override;

    /// Where the program expects its sample database: DB/DB1.db below its own folder.
    static QString defaultDatabasePath();
    /// The connection string for a SQLite database file.
    static QString connectionStringFor(const QString &databasePath);

    /// Opens the database at `databasePath` and registers the CCur function on that
    /// connection. When the SQLite driver or the file is missing, or the file does not open,
    /// tells the user (naming the driver or the file) and returns false; the caller then ends
    /// the program.
    bool openDatabase(const QString &databasePath = defaultDatabasePath());

    /// "GetSql": the order statement through the query dialog; its result goes to txtSql.
    void showOrderQuery();
    /// "GetRecordset": the customer statement with a filter on Gender; its rows go to the grid.
    void showCustomerQuery();

    /// Shows a recordset in the grid (MSGridShowInfo). A statement that fails part-way, while
    /// the rows are copied or later while the grid fetches them, is told in one message with
    /// the database's text.
    void showRows(ado::Recordset &recordset);

    /// The statements the two buttons start from.
    static QString orderQuerySql();
    static QString customerQuerySql();

    /// The window's connection (null before openDatabase succeeded).
    std::shared_ptr<ado::Connection> connection() const { return m_connection; }

private:
    ado::Connection &windowConnection();

    FlexGrid *m_grid;
    QLabel *m_label;
    QPlainTextEdit *m_sqlText;
    Condora *m_condora;
    QPushButton *m_getSqlButton;
    QPushButton *m_recordsetButton;
    QPushButton *m_exitButton;
    std::shared_ptr<ado::Connection> m_connection;
};

} // namespace condora
