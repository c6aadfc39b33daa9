// Load, layout, preview, Verify, OK, Cancel and close of the query dialog.

#include "tst_dialog.h"

#include "dialogdriver.h"

#include "analysis/queryrun.h"
#include "analysis/statementtools.h"
#include "dialog/frmcondora.h"
#include "dialog/twipsgeometry.h"
#include "platform/flexgrid/flexgrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

const QString Base = u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e"_s;

/// The size the layout rules read (client area plus the design frame) of a window at its least
/// outer size on screen: the minimum less the real frame, plus the design frame.
int minimumWindowWidth(const QWidget *dialog)
{
    const int frame = dialog->frameGeometry().width() - dialog->width();
    return (pixels(frmCondora::MinimumWidth) - frame) * 15 + twipsgeometry::FrameWidth;
}

int minimumWindowHeight(const QWidget *dialog)
{
    const int frame = dialog->frameGeometry().height() - dialog->height();
    return (pixels(frmCondora::MinimumHeight) - frame) * 15 + twipsgeometry::FrameHeight;
}

} // namespace

void TestDialog::loadShowsDesign()
{
    frmCondora *dialog = openDialog();
    QCOMPARE(dialog->objectName(), u"frmCondora"_s);
    QCOMPARE(dialog->windowTitle(), u"QUERY"_s);
    QVERIFY(dialog->isModal());

    struct Caption
    {
        const char *name;
        QString text;
    };
    for (const Caption &c : {Caption{"cmdAdd", u"&Add"_s}, Caption{"cmdDel", u"&Delete"_s},
                             Caption{"cmdOK", u"&OK"_s}, Caption{"cmdCancel", u"&Cancel"_s},
                             Caption{"cmdVerify", u"&Verify"_s}, Caption{"cmdGetValue", u".."_s}}) {
        auto *button = find<QPushButton>(dialog, c.name);
        QVERIFY2(button, c.name);
        QCOMPARE(button->text(), c.text);
        QVERIFY(!button->autoDefault());
    }
    QCOMPARE(find<QPushButton>(dialog, "cmdGetValue")->toolTip(), u"Get value"_s);
    QCOMPARE(find<QLabel>(dialog, "Label1")->text(), u"Query Condition:"_s);
    QVERIFY(find<QLabel>(dialog, "Label1")->font().bold());
    QCOMPARE(find<QLabel>(dialog, "Label1")->font().pointSize(), 12);
    QCOMPARE(twipsRect(find<QLabel>(dialog, "Label1")), QRect(120, 180, 3435, 315));
    QCOMPARE(find<QLabel>(dialog, "Label2")->text(), u" Show Sql"_s);
    QVERIFY(find<QPlainTextEdit>(dialog, "txtCondition")->isReadOnly());

    // Hidden at load: the preview switch, the preview and the three editors.
    for (const char *name : {"chkSqlShow", "Label2", "txtCondition", "txtValue", "comItem", "cmdGetValue"}) {
        QWidget *widget = find<QWidget>(dialog, name);
        QVERIFY2(widget, name);
        QVERIFY2(widget->isHidden(), name);
    }
    QVERIFY(!find<QCheckBox>(dialog, "chkSqlShow")->isChecked());
    // The rows and the editors share one height: the design's 300 twips, or taller where the
    // editors' style asks for more (Fusion's list at 9 pt: 22 px).
    const int rowHeight = twipsRect(find<QComboBox>(dialog, "comItem")).height();
    QVERIFY(rowHeight >= 300);

    FlexGrid *g = grid();
    QVERIFY(g);
    QCOMPARE(g->ToolTipText(), u"The row in green will be used."_s);
    QCOMPARE(g->Cols(), 7);
    QCOMPARE(g->Rows(), 2);
    QCOMPARE(g->FixedRows(), 1);
    const QStringList headers{u"   ("_s,        u"Column                   "_s, u"Operator     "_s,
                              u"Value                    "_s, u")   "_s, u"Logical   "_s, u"colIndex"_s};
    for (int col = 0; col < 7; ++col) {
        QCOMPARE(g->TextMatrix(0, col), headers.at(col));
        QCOMPARE(g->TextMatrix(1, col), QString());
        QCOMPARE(g->ColAlignmentLeft(col), col > 0);
    }
    QCOMPARE(g->ColWidth(6), 0);
    QCOMPARE(g->RowHeight(1), rowHeight);
    for (int col = 0; col < 7; ++col) {
        g->setRow(0);
        g->setCol(col);
        QCOMPARE(g->CellFontBold(), col < 6);
        if (col < 6) {
            QCOMPARE(g->CellFontSize(), 10.0);
        }
    }
    QCOMPARE(m_dialog->resultSql(), QString());
}

void TestDialog::tabOrderFollowsDesign()
{
    frmCondora *dialog = openDialog();
    const QStringList named{u"chkSqlShow"_s,   u"cmdAdd"_s,  u"cmdDel"_s,  u"cmdOK"_s,
                            u"cmdCancel"_s,    u"cmdVerify"_s, u"txtCondition"_s, u"txtValue"_s,
                            u"comItem"_s,      u"cmdGetValue"_s, u"MFGQuery"_s};
    QStringList chain;
    QWidget *start = find<QWidget>(dialog, "chkSqlShow");
    QWidget *w = start;
    do {
        if (named.contains(w->objectName()) && !chain.contains(w->objectName())) {
            chain.append(w->objectName());
        }
        w = w->nextInFocusChain();
    } while (w != start && chain.size() < named.size());
    QCOMPARE(chain, named);

    // As the user sees it: Tab moves from Add to Delete to OK.
    auto *add = find<QPushButton>(dialog, "cmdAdd");
    add->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), add);
    QTest::keyClick(add, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), find<QWidget>(dialog, "cmdDel"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), find<QWidget>(dialog, "cmdOK"));
}

void TestDialog::layoutAfterResize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("expectedWidth");
    QTest::addColumn<int>("expectedHeight");
    // Sizes as the layout rules read them: client area plus the design frame. The least size
    // is an outer size on screen, with the frame the window system draws (none offscreen), so
    // a window snapped back to it reads as minimumWindowWidth()/Height() (-1 below) and not as
    // 8205 x 5790: with the design frame taken instead, the window could be made smaller than
    // its minimum outer size wherever the real frame is thinner.
    QTest::newRow("design size snaps to the outer minimum") << 8205 << 5790 << -1 << -1;
    QTest::newRow("larger") << 10005 << 7005 << 10005 << 7005;
    QTest::newRow("much larger") << 15000 << 11010 << 15000 << 11010;
    QTest::newRow("too narrow snaps back") << 6000 << 7005 << -1 << 7005;
    QTest::newRow("too short snaps back") << 10005 << 3000 << 10005 << -1;
    QTest::newRow("tiny snaps back") << 1500 << 1500 << -1 << -1;
}

void TestDialog::layoutAfterResize()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, expectedWidth);
    QFETCH(int, expectedHeight);

    frmCondora *dialog = openDialog();
    twipsgeometry::setWindowSize(dialog, width, height);
    if (expectedWidth < 0) {
        expectedWidth = minimumWindowWidth(dialog);
    }
    if (expectedHeight < 0) {
        expectedHeight = minimumWindowHeight(dialog);
    }
    QTRY_COMPARE(twipsgeometry::windowWidth(dialog), expectedWidth);
    QTRY_COMPARE(twipsgeometry::windowHeight(dialog), expectedHeight);
    // Never below the least outer size on screen.
    QVERIFY(dialog->frameGeometry().width() >= pixels(frmCondora::MinimumWidth));
    QVERIFY(dialog->frameGeometry().height() >= pixels(frmCondora::MinimumHeight));
    const int w = expectedWidth;
    const int h = expectedHeight;

    const QRect g = twipsRect(grid());
    QCOMPARE(g, QRect(60, 660, w - 60 - 160, h - 660 - 950));
    // The pixels shown are the twips rounded.
    QCOMPARE(QRect(grid()->mapTo(dialog, QPoint(0, 0)), grid()->size()),
             QRect(pixels(60), pixels(660), pixels(g.width()), pixels(g.height())));

    const int gridRight = g.left() + g.width();
    const int top = h - 375 - 500;
    QCOMPARE(twipsRect(find<QWidget>(dialog, "cmdCancel")), QRect(gridRight - 1275, top, 1275, 375));
    QCOMPARE(twipsRect(find<QWidget>(dialog, "cmdOK")), QRect(gridRight - 1275 - 50 - 1275, top, 1275, 375));
    const int verifyLeft = gridRight - 2 * 1275 - 50 - 600 - 1275;
    QCOMPARE(twipsRect(find<QWidget>(dialog, "cmdVerify")), QRect(verifyLeft, top, 1275, 375));
    QCOMPARE(twipsRect(find<QWidget>(dialog, "cmdDel")), QRect(verifyLeft - 50 - 1275, top, 1275, 375));
    QCOMPARE(twipsRect(find<QWidget>(dialog, "cmdAdd")), QRect(verifyLeft - 2 * (50 + 1275), top, 1275, 375));
    QCOMPARE(twipsRect(find<QWidget>(dialog, "Label2")), QRect(gridRight - 1275, 240, 1275, 255));
    QCOMPARE(twipsRect(find<QWidget>(dialog, "chkSqlShow")), QRect(gridRight - 1275 - 195, 240, 195, 195));
    QCOMPARE(twipsRect(find<QWidget>(dialog, "Label1")), QRect(120, 180, 3435, 315));
    QCOMPARE(twipsRect(find<QWidget>(dialog, "txtCondition")).top(), g.top() + g.height() + 20);

    // Columns share the grid width less 435 in the design proportions; colIndex stays hidden.
    const QList<int> design{450, 2200, 1245, 2200, 450, 900, 0};
    const double room = g.width() - 435;
    int sum = 0;
    for (int col = 0; col < 7; ++col) {
        const int expected = int(std::nearbyint(design.at(col) / 7445.0 * room));
        QCOMPARE(grid()->ColWidth(col), expected);
        sum += grid()->ColWidth(col);
    }
    QVERIFY2(qAbs(sum - room) <= 3, qPrintable(QString::number(sum)));
    QCOMPARE(grid()->ColWidth(6), 0);
}

void TestDialog::previewToggle()
{
    // The switch is there when the run offers it (the control's ShowSql).
    m_run.showSqlSwitch = true;
    frmCondora *dialog = openDialog();
    auto *check = find<QCheckBox>(dialog, "chkSqlShow");
    auto *label = find<QLabel>(dialog, "Label2");
    auto *preview = find<QPlainTextEdit>(dialog, "txtCondition");
    QVERIFY(check->isVisible());
    QVERIFY(label->isVisible());
    QVERIFY(!check->isChecked());
    QVERIFY(preview->isHidden());
    const int h = twipsgeometry::windowHeight(dialog);
    const QRect before = twipsRect(grid());
    QCOMPARE(before.height(), h - 660 - 950);

    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(check->isChecked());
    QVERIFY(preview->isVisible());
    QCOMPARE(twipsRect(grid()).height(), before.height() - 500);
    QCOMPARE(twipsRect(preview), QRect(60, 660 + before.height() - 500 + 20, before.width(), 500));

    // A later layout gives the preview's height plus 1050 under the grid.
    twipsgeometry::setWindowSize(dialog, 9000, 7005);
    QTRY_COMPARE(twipsgeometry::windowHeight(dialog), 7005);
    QCOMPARE(twipsRect(grid()).height(), 7005 - 660 - 500 - 1050);
    // The design size is below the least outer size where the real frame is thinner than the
    // design frame (offscreen: none), so the window snaps back to that.
    twipsgeometry::setWindowSize(dialog, 8205, 5790);
    QTRY_COMPARE(twipsgeometry::windowHeight(dialog), minimumWindowHeight(dialog));
    const QRect shown = twipsRect(grid());

    // Twice toggled, the grid is back at its height.
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(!check->isChecked());
    QVERIFY(preview->isHidden());
    QCOMPARE(twipsRect(grid()).height(), shown.height() + 500);
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(preview->isVisible());
    QCOMPARE(twipsRect(grid()).height(), shown.height());

    // The preview follows every edit, shown or not.
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QCOMPARE(preview->toPlainText(), u" e.name = 'Smith'"_s);
}

void TestDialog::verifyAcceptedStatement()
{
    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdVerify"), Qt::LeftButton);
    QCOMPARE(m_ui->texts(), QStringList{u"Ok!"_s});
    QCOMPARE(m_ui->messages().constFirst().icon, MessageIcon::None);
    QCOMPARE(m_ui->messages().constFirst().buttons, MessageButtons::Ok);
    QVERIFY(!m_ui->messages().constFirst().explicitCaption);
    QVERIFY(dialog->isVisible());
    QCOMPARE(m_dialog->resultSql(), Base + u" where  e.name = 'Smith'"_s);
}

void TestDialog::verifyRejectedStatement()
{
    // A column the table does not have: the database refuses the composed statement.
    ColumnInfo bogus = m_run.fieldCatalog.at(2);
    bogus.colExpr = u"bogus"_s;
    bogus.colName = u"bogus"_s;
    m_run.fieldCatalog.append(bogus);

    frmCondora *dialog = openDialog();
    enterRow(1, u"bogus"_s, u"= "_s, u"x"_s);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdVerify"), Qt::LeftButton);
    const QString composed = Base + u" where  e.bogus = 'x'"_s;
    QCOMPARE(m_dialog->resultSql(), composed);
    const QString description = testSql(*m_run.connection, composed);
    QVERIFY(description.contains(u"bogus"_s));
    QCOMPARE(m_ui->texts(), QStringList{description + u"\r\nWrong query condition!"_s});
    QCOMPARE(m_ui->messages().constFirst().icon, MessageIcon::None);
    QVERIFY(dialog->isVisible());
}

void TestDialog::verifyStopsOnValidation()
{
    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    clickCell(grid(), 1, 0);
    QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), u"("_s));
    const QString before = m_dialog->resultSql();
    QTest::mouseClick(find<QPushButton>(dialog, "cmdVerify"), Qt::LeftButton);
    QCOMPARE(m_ui->texts(),
             QStringList{u"The number of left bracket must accord with that of right bracket!"_s});
    QCOMPARE(m_ui->messages().constFirst().icon, MessageIcon::Exclamation);
    QCOMPARE(m_dialog->resultSql(), before);
    QVERIFY(dialog->isVisible());

    // A number column without a value: the Value editor is open on that cell with the message.
    clickCell(grid(), 1, 0);
    QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), QString()));
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    enterRow(2, u"id"_s, u"> "_s);
    clickCell(grid(), 1, 5);
    QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), u" And "_s));
    bool editorOpen = false;
    m_ui->setOnMessage([&](const MessageRequest &) {
        editorOpen = find<QLineEdit>(dialog, "txtValue")->isVisible() && dialog->curRow() == 2 && dialog->curCol() == 3;
    });
    QTest::mouseClick(find<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
    QCOMPARE(m_ui->texts().constLast(), u"The value must be numerical!"_s);
    QVERIFY(editorOpen);
    QVERIFY(dialog->isVisible());
}

void TestDialog::okClosesOnlyOnAcceptedStatement()
{
    ColumnInfo bogus = m_run.fieldCatalog.at(2);
    bogus.colExpr = u"bogus"_s;
    bogus.colName = u"bogus"_s;
    m_run.fieldCatalog.append(bogus);

    frmCondora *dialog = openDialog();
    enterRow(1, u"bogus"_s, u"= "_s, u"Smith"_s);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
    QCOMPARE(m_ui->texts().size(), 1);
    QVERIFY(m_ui->texts().constFirst().endsWith(u"\r\nWrong query condition!"_s));
    QVERIFY(dialog->isVisible());

    clickCell(grid(), 1, 1);
    QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), u"name"_s));
    QTest::mouseClick(find<QPushButton>(dialog, "cmdOK"), Qt::LeftButton);
    QCOMPARE(m_ui->texts().size(), 1);
    QVERIFY(dialog->isHidden());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(m_dialog->resultSql(), Base + u" where  e.name = 'Smith'"_s);
}

void TestDialog::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("verifyFirst");
    QTest::newRow("Cancel") << u"cancel"_s << false;
    QTest::newRow("Cancel after Verify") << u"cancel"_s << true;
    QTest::newRow("close box") << u"close"_s << false;
    QTest::newRow("close box after Verify") << u"close"_s << true;
    QTest::newRow("Escape") << u"escape"_s << true;
}

void TestDialog::closing()
{
    QFETCH(QString, how);
    QFETCH(bool, verifyFirst);

    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    if (verifyFirst) {
        QTest::mouseClick(find<QPushButton>(dialog, "cmdVerify"), Qt::LeftButton);
        QCOMPARE(m_ui->texts(), QStringList{u"Ok!"_s});
    }
    QVERIFY(!m_dialog->resultSql().isEmpty());
    if (how == u"cancel") {
        QTest::mouseClick(find<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    } else if (how == u"close") {
        QVERIFY(dialog->close());
    } else {
        // The first Escape closes the open Value editor, the second the dialog.
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QTest::keyClick(dialog, Qt::Key_Escape);
    }
    QVERIFY(dialog->isHidden());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(m_dialog->resultSql(), QString());
}
