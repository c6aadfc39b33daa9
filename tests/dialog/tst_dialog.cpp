#include "tst_dialog.h"

#include "dialogdriver.h"

#include "analysis/queryrun.h"
#include "dialog/frmcondora.h"
#include "platform/ado/connection.h"
#include "platform/flexgrid/flexgrid.h"
#include "support/testmain.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStyleHints>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

void TestDialog::initTestCase()
{
    // Tooltips would open windows of their own while the pointer rests over a control.
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
}

void TestDialog::init()
{
    m_ui = std::make_unique<RecordingUserInteraction>();
    m_scope = std::make_unique<QObject>();
    // The watchdog: a test that fails inside a callback of a modal loop must not hang the run.
    auto *watchdog = new QTimer(m_scope.get());
    watchdog->setInterval(20000);
    connect(watchdog, &QTimer::timeout, watchdog, [] {
        qWarning("watchdog: closing dialogs left open");
        closeAllDialogs();
    });
    watchdog->start();
    prepareState();
}

void TestDialog::cleanup()
{
    m_scope.reset();
    closeAllDialogs();
    m_dialog.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_ui.reset();
    m_run = QueryRun();
    m_db.reset();
    QStringList open;
    for (const QWidget *widget : QApplication::topLevelWidgets()) {
        open.append(QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName());
    }
    QVERIFY2(open.isEmpty(), qPrintable(open.join(u", "_s)));
}

void TestDialog::prepareState()
{
    m_db = std::make_unique<test::SqliteFile>(QStringList{
        u"CREATE TABLE emp (id INTEGER, name VARCHAR(40), notes MEMO, hired DATE, active BOOLEAN, photo BLOB)"_s,
        u"INSERT INTO emp VALUES (1, 'Smith', 'note a', '2001-01-05', 1, NULL)"_s,
        u"INSERT INTO emp VALUES (2, 'Jones', 'note a', '2003-06-01', 0, NULL)"_s,
        u"INSERT INTO emp VALUES (3, 'Brown', 'note b', '2001-01-05', 1, NULL)"_s,
        u"INSERT INTO emp VALUES (4, 'Smith', 'note c', '2005-02-03', 0, NULL)"_s,
        u"INSERT INTO emp VALUES (5, 'Adams', 'note a', '2007-07-07', 1, NULL)"_s,
    });
    QueryRun &state = m_run;
    state = QueryRun();
    state.connection = m_db->open();
    state.savedCursorLocation = state.connection->CursorLocation();
    state.baseSql = u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e"_s;
    state.dbKind = DbKind::Other;
    auto column = [](const QString &name, const QString &typeCode, const QString &typeClass) {
        ColumnInfo c;
        c.colExpr = name;
        c.colName = name;
        c.tabName = u"emp"_s;
        c.tabAlias = u"e"_s;
        c.typeCode = typeCode.toInt();
        c.typeClass = typeClassFromText(typeClass);
        c.usable = typeClass != u"other";
        return c;
    };
    state.fieldCatalog = {ColumnInfo(),
                          column(u"id"_s, u"3"_s, u"number"_s),
                          column(u"name"_s, u"202"_s, u"string"_s),
                          column(u"notes"_s, u"203"_s, u"lstring"_s),
                          column(u"hired"_s, u"133"_s, u"date"_s),
                          column(u"active"_s, u"11"_s, u"boolean"_s),
                          column(u"photo"_s, u"205"_s, u"other"_s)};
}

frmCondora *TestDialog::openDialog()
{
    m_dialog = std::make_unique<frmCondora>(m_run);
    m_dialog->show();
    if (!QTest::qWaitForWindowExposed(m_dialog.get())) {
        qWarning("query dialog not exposed");
    }
    return m_dialog.get();
}

FlexGrid *TestDialog::grid() const
{
    return find<FlexGrid>(m_dialog.get(), "MFGQuery");
}

void TestDialog::enterRow(int row, const QString &column, const QString &op, const QString &value)
{
    QVERIFY2(dialogtest::enterRow(m_dialog.get(), row, column, op, value), qPrintable(column + u'|' + op));
}

CONDORA_TEST_MAIN(TestDialog)
