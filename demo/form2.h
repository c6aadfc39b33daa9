#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class Condora;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace condora {

class QueryModel;
namespace ado {
class Connection;
}

/// The demo program's one window. It opens the sample database once, hands it to its query
/// control, and shows what the control returns: the final statement of "GetSql" in the text
/// box, the rows of "GetRecordset" in the grid, a table view on the model the control returns
/// (Condora::GetQueryModel()). Controls carry their names as objectName: MSHFlexGrid1 (the
/// grid), Label1, txtSql, Condora1, cmdGetSql, cmdRecordset, cmdExit.
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
    /// After Cancel, or a run that brought no rows (a failure is told), the grid keeps what it
    /// showed.
    void showCustomerQuery();

    /// Shows `rows` in the grid, its first rows at once and the rest as the grid scrolls; the
    /// window takes them over and lets the rows shown before go. A statement that fails
    /// part-way, in the first rows or later while the grid fetches, is told in one message with
    /// the database's text.
    void showRows(QueryModel *rows);

    /// The statements the two buttons start from.
    static QString orderQuerySql();
    static QString customerQuerySql();

    /// The window's connection (null before openDatabase succeeded).
    std::shared_ptr<ado::Connection> connection() const { return m_connection; }

private:
    ado::Connection &windowConnection();

    QTableView *m_grid;
    QueryModel *m_rows = nullptr; // shown in m_grid; owned by the window
    QLabel *m_label;
    QPlainTextEdit *m_sqlText;
    Condora *m_condora;
    QPushButton *m_getSqlButton;
    QPushButton *m_recordsetButton;
    QPushButton *m_exitButton;
    std::shared_ptr<ado::Connection> m_connection;
};

} // namespace condora
