// The value picker, opened through the ".." button of the Value editor.

#include "tst_dialog.h"

#include "dialogdriver.h"

#include "analysis/queryrun.h"
#include "dialog/frmcondora.h"
#include "dialog/frmgetvalue.h"
#include "dialog/twipsgeometry.h"
#include "platform/ado/connection.h"
#include "platform/flexgrid/flexgrid.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDriver>
#include <QtTest>

#include <optional>

#include <sqlite3.h>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

/// Records every SELECT that reaches the SQLite engine of a connection, with the connection's
/// cursor location at that moment.
class StatementTrace
{
public:
    explicit StatementTrace(ado::Connection &connection)
        : m_connection(connection)
    {
        const QVariant handle = connection.database().driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") == 0) {
            m_db = *static_cast<sqlite3 *const *>(handle.constData());
        }
        if (m_db != nullptr) {
            sqlite3_trace_v2(m_db, SQLITE_TRACE_STMT, &StatementTrace::callback, this);
        }
    }
    ~StatementTrace()
    {
        if (m_db != nullptr) {
            sqlite3_trace_v2(m_db, 0, nullptr, nullptr);
        }
    }
    bool isValid() const { return m_db != nullptr; }
    QStringList statements;
    QList<int> cursorLocations;

private:
    static int callback(unsigned, void *context, void *, void *text)
    {
        auto *self = static_cast<StatementTrace *>(context);
        const QString sql = QString::fromUtf8(static_cast<const char *>(text));
        if (sql.startsWith(u"select"_s, Qt::CaseInsensitive)) {
            self->statements.append(sql);
            self->cursorLocations.append(self->m_connection.CursorLocation());
        }
        return 0;
    }

    ado::Connection &m_connection;
    sqlite3 *m_db = nullptr;
};

QStringList gridValues(FlexGrid *grid)
{
    if (grid->isBoundPending()) {
        grid->fetchAll();
    }
    QStringList values;
    for (int row = 1; row < grid->Rows(); ++row) {
        values.append(grid->TextMatrix(row, 0));
    }
    return values;
}

/// What a test saw of the picker while it was open.
struct PickerSeen
{
    bool opened = false;
    QString caption;
    QString tooltip;
    QString title;
    QStringList values;
    QRect frame; // twips: left, top, width, outer height
};

PickerSeen look(QWidget *picker)
{
    PickerSeen seen;
    seen.opened = true;
    seen.caption = picker->windowTitle();
    auto *grid = find<FlexGrid>(picker, "MSFlexGrid1");
    seen.tooltip = grid->ToolTipText();
    seen.title = grid->TextMatrix(0, 0);
    seen.values = gridValues(grid);
    seen.frame = QRect(twipsgeometry::windowLeft(picker), twipsgeometry::windowTop(picker),
                       twipsgeometry::windowWidth(picker), twipsgeometry::windowHeight(picker));
    return seen;
}

} // namespace

void TestDialog::pickerStatement_data()
{
    QTest::addColumn<QString>("filterClause");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("without a host filter") << QString() << u"select distinct name from emp "_s
                                           << QStringList{u"Adams"_s, u"Brown"_s, u"Jones"_s, u"Smith"_s};
    QTest::newRow("with a host filter") << u" where id>2"_s << u"select distinct name from emp  where id>2"_s
                                        << QStringList{u"Adams"_s, u"Brown"_s, u"Smith"_s};
}

void TestDialog::pickerStatement()
{
    QFETCH(QString, filterClause);
    QFETCH(QString, statement);
    QFETCH(QStringList, values);
    m_run.fieldCatalog[2].filterClause = filterClause;
    QCOMPARE(valueListSql(m_run.fieldCatalog.at(2)), statement);

    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s);
    clickCell(grid(), 1, 3);
    StatementTrace trace(*m_run.connection);
    QVERIFY(trace.isValid());
    PickerSeen seen;
    std::optional<QString> picked = u"not read"_s;
    whenModal(m_scope.get(), u"frmGetValue"_s, [&seen, &picked](QWidget *picker) {
        seen = look(picker);
        picker->close();
        picked = static_cast<frmGetValue *>(picker)->pickedValue();
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    QVERIFY(seen.opened);
    QCOMPARE(seen.caption, u"value"_s);
    QCOMPARE(seen.tooltip, u"Click title to sort"_s);
    QCOMPARE(seen.title, u"name"_s);
    QCOMPARE(trace.statements, QStringList{statement});
    QStringList sorted = seen.values;
    sorted.sort();
    QCOMPARE(sorted, values);
    QVERIFY(!picked);
}

void TestDialog::pickerLongTextKeepsDuplicates()
{
    frmCondora *dialog = openDialog();
    enterRow(1, u"notes"_s, u"include "_s);
    clickCell(grid(), 1, 3);
    StatementTrace trace(*m_run.connection);
    PickerSeen seen;
    whenModal(m_scope.get(), u"frmGetValue"_s, [&seen](QWidget *picker) {
        seen = look(picker);
        picker->close();
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    QVERIFY(seen.opened);
    QCOMPARE(trace.statements, QStringList{u"select notes from emp "_s});
    QStringList sorted = seen.values;
    sorted.sort();
    QCOMPARE(sorted, (QStringList{u"note a"_s, u"note a"_s, u"note a"_s, u"note b"_s, u"note c"_s}));
}

void TestDialog::pickerWithoutColumnRunsNothing()
{
    frmCondora *dialog = openDialog();
    StatementTrace trace(*m_run.connection);
    for (const QString &colIndex : {QString(), u"-1"_s}) {
        frmGetValue picker(m_run, dialog);
        picker.setHeadTitle(u"name"_s);
        picker.setP_colIndex(colIndex);
        picker.show();
        auto *g = find<FlexGrid>(&picker, "MSFlexGrid1");
        QCOMPARE(g->TextMatrix(0, 0), u"name"_s);
        QCOMPARE(gridValues(g), QStringList{QString()});
        picker.close();
    }
    QVERIFY(trace.statements.isEmpty());
    QVERIFY(m_ui->texts().isEmpty());
    QCOMPARE(m_ui->mousePointer(), MousePointer::Default);
}

void TestDialog::pickerSortAndPick()
{
    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s);
    clickCell(grid(), 1, 3);
    QStringList afterFirst;
    QStringList afterSecond;
    bool openAfterSort = false;
    QList<int> sortStates;
    std::optional<QString> picked;
    whenModal(m_scope.get(), u"frmGetValue"_s, [&](QWidget *picker) {
        auto *g = find<FlexGrid>(picker, "MSFlexGrid1");
        const QRect title = cellRect(g, 0, 0);
        clickGridAt(g, QPoint(title.left() + 5, title.center().y()));
        afterFirst = gridValues(g);
        sortStates.append(static_cast<frmGetValue *>(picker)->sortState());
        clickGridAt(g, QPoint(title.left() + 5, title.center().y()));
        afterSecond = gridValues(g);
        sortStates.append(static_cast<frmGetValue *>(picker)->sortState());
        openAfterSort = picker->isVisible();
        const int jones = int(afterSecond.indexOf(u"Jones"_s)) + 1;
        clickCell(g, jones, 0);
        picked = static_cast<frmGetValue *>(picker)->pickedValue();
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    QCOMPARE(afterFirst, (QStringList{u"Smith"_s, u"Jones"_s, u"Brown"_s, u"Adams"_s}));
    QCOMPARE(afterSecond, (QStringList{u"Adams"_s, u"Brown"_s, u"Jones"_s, u"Smith"_s}));
    QCOMPARE(sortStates, (QList<int>{1, 2}));
    QVERIFY(openAfterSort);

    QCOMPARE(picked, std::optional<QString>(u"Jones"_s));
    QCOMPARE(find<QLineEdit>(dialog, "txtValue")->text(), u"Jones"_s);
    QCOMPARE(grid()->TextMatrix(1, 3), u"Jones"_s);
    QCOMPARE(m_dialog->resultSql(),
             u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e where  e.name = 'Jones'"_s);
    const bool pickerGone = [] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == u"frmGetValue") {
                return false;
            }
        }
        return true;
    }();
    QVERIFY(pickerGone);
}

void TestDialog::pickerClosedWithoutPick()
{
    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smi"_s);
    bool opened = false;
    std::optional<QString> picked = u"not read"_s;
    whenModal(m_scope.get(), u"frmGetValue"_s, [&](QWidget *picker) {
        opened = true;
        picker->close();
        picked = static_cast<frmGetValue *>(picker)->pickedValue();
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    QVERIFY(opened);
    QVERIFY(!picked);
    QCOMPARE(grid()->TextMatrix(1, 3), u"Smi"_s);
    QCOMPARE(find<QLineEdit>(dialog, "txtValue")->text(), u"Smi"_s);
}

void TestDialog::pickerNeedsAColumn()
{
    frmCondora *dialog = openDialog();
    clickCell(grid(), 1, 3);
    QVERIFY(find<QPushButton>(dialog, "cmdGetValue")->isVisible());
    bool opened = false;
    whenModal(m_scope.get(), u"frmGetValue"_s, [&](QWidget *picker) {
        opened = true;
        picker->close();
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(!opened);
    QCOMPARE(find<QLineEdit>(dialog, "txtValue")->text(), QString());
}

void TestDialog::pickerPosition_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("dialogHeight");
    QTest::addColumn<QString>("placement");
    QTest::newRow("centred on the button") << 10 << 9000 << u"centred"_s;
    QTest::newRow("kept 300 twips below the dialog's top") << 1 << 9000 << u"top"_s;
    QTest::newRow("kept inside the dialog's bottom") << 10 << 5790 << u"bottom"_s;
}

void TestDialog::pickerPosition()
{
    QFETCH(int, row);
    QFETCH(int, dialogHeight);
    QFETCH(QString, placement);

    frmCondora *dialog = openDialog();
    twipsgeometry::setWindowSize(dialog, 8205, dialogHeight);
    // A height below the least outer size on screen snaps back to it (offscreen, with no frame,
    // the design's 5790 does).
    QTRY_VERIFY(twipsgeometry::windowHeight(dialog) >= dialogHeight);
    dialogHeight = twipsgeometry::windowHeight(dialog);
    dialog->move(40, 60);
    QTRY_COMPARE(dialog->pos(), QPoint(40, 60));
    for (int i = 1; i < row; ++i) {
        QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    }
    enterRow(row, u"name"_s, u"= "_s);
    clickCell(grid(), row, 3);
    const QRect button = twipsRect(find<QWidget>(dialog, "cmdGetValue"));
    const int dialogLeft = twipsgeometry::windowLeft(dialog);
    const int dialogTop = twipsgeometry::windowTop(dialog);

    PickerSeen seen;
    whenModal(m_scope.get(), u"frmGetValue"_s, [&seen](QWidget *picker) {
        seen = look(picker);
        picker->close();
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdGetValue"), Qt::LeftButton);
    QVERIFY(seen.opened);
    const int pickerHeight = seen.frame.height();
    QCOMPARE(pickerHeight, frmGetValue::DesignClientHeight + twipsgeometry::FrameHeight);

    int expectedTop = int(std::nearbyint(dialogTop + button.top() - pickerHeight / 2.0));
    if (placement == u"top") {
        QVERIFY(dialogTop + 300 > expectedTop);
        expectedTop = dialogTop + 300;
    } else if (placement == u"bottom") {
        QVERIFY(dialogTop + dialogHeight < expectedTop + pickerHeight);
        expectedTop = dialogTop + dialogHeight - pickerHeight;
    } else {
        QVERIFY(expectedTop >= dialogTop + 300);
        QVERIFY(expectedTop + pickerHeight <= dialogTop + dialogHeight);
    }
    // Shown in whole pixels: within half a pixel of the twips.
    QVERIFY2(qAbs(seen.frame.left() - (dialogLeft + button.left())) <= 8,
             qPrintable(QStringLiteral("%1 %2").arg(seen.frame.left()).arg(dialogLeft + button.left())));
    QVERIFY2(qAbs(seen.frame.top() - expectedTop) <= 8,
             qPrintable(QStringLiteral("%1 %2").arg(seen.frame.top()).arg(expectedTop)));
    QVERIFY(seen.frame.top() + pickerHeight <= dialogTop + dialogHeight + 8);
}

void TestDialog::pickerHandFillAndClientCursor()
{
    m_db->exec({u"CREATE TABLE big (v INTEGER)"_s,
                u"INSERT INTO big WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 2500) "
                u"SELECT x FROM c"_s,
                u"INSERT INTO big VALUES (NULL)"_s});
    QueryRun &state = m_run;
    state.dbKind = DbKind::Access;
    ColumnInfo v;
    v.colExpr = u"v"_s;
    v.colName = u"v"_s;
    v.tabName = u"big"_s;
    v.tabAlias = u"big"_s;
    v.typeClass = TypeClass::Number;
    state.fieldCatalog.append(v);
    const int position = int(state.fieldCatalog.size()) - 1;
    QCOMPARE(state.connection->CursorLocation(), 2);

    frmCondora *dialog = openDialog();
    StatementTrace trace(*state.connection);
    frmGetValue picker(m_run, dialog);
    picker.setHeadTitle(u"v"_s);
    picker.setP_colIndex(QString::number(position));
    picker.show();
    QCOMPARE(trace.statements, QStringList{u"select distinct v from big "_s});
    QCOMPARE(trace.cursorLocations, QList<int>{3});
    QCOMPARE(state.connection->CursorLocation(), 2);

    // The client cursor's 2501 records are shown where the recordset holds them (no copy, so
    // nothing waits on the event loop), NULL as the "(null)" entry as in a shorter list: a copy
    // by hand used to show it as an empty value.
    auto *g = find<FlexGrid>(&picker, "MSFlexGrid1");
    QVERIFY(!g->isBoundPending());
    QCOMPARE(g->Rows(), 2502);
    QCOMPARE(g->Cols(), 1);
    QCOMPARE(g->TextMatrix(0, 0), u"v"_s);
    QCOMPARE(m_ui->processEventsCount(), 0);
    QSet<QString> seen;
    int nulls = 0;
    for (int row = 1; row < g->Rows(); ++row) {
        seen.insert(g->TextMatrix(row, 0));
        nulls += g->isNullCell(row, 0) ? 1 : 0;
    }
    QCOMPARE(seen.size(), 2501);
    QCOMPARE(nulls, 1);
    QVERIFY(seen.contains(u"2500"_s));
    QVERIFY(seen.contains(g->NullText()));
    QCOMPARE(m_ui->pointerHistory(), (QList<MousePointer>{MousePointer::Hourglass, MousePointer::Default}));
    picker.close();
}

void TestDialog::pickerFailingStatement()
{
    QueryRun &state = m_run;
    state.dbKind = DbKind::Access;
    state.fieldCatalog[2].tabName = u"nosuchtable"_s;
    frmCondora *dialog = openDialog();
    frmGetValue picker(m_run, dialog);
    picker.setHeadTitle(u"name"_s);
    picker.setP_colIndex(u"2"_s);
    picker.show();
    QCOMPARE(m_ui->texts().size(), 1);
    QVERIFY2(m_ui->texts().constFirst().startsWith(u"Error message:\r\n "_s), qPrintable(m_ui->texts().constFirst()));
    QVERIFY(m_ui->texts().constFirst().contains(u"nosuchtable"_s));
    QCOMPARE(m_ui->mousePointer(), MousePointer::Default);
    // The connection gets its cursor location back also when the statement fails.
    QCOMPARE(state.connection->CursorLocation(), 2);
    auto *g = find<FlexGrid>(&picker, "MSFlexGrid1");
    QCOMPARE(g->TextMatrix(0, 0), u"name"_s);
    picker.close();
}
