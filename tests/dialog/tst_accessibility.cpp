// What the query dialog offers beyond the mouse and the default look: accessible names,
// readable colours in light and dark palettes, and its owner window.

#include "tst_dialog.h"

#include "dialogdriver.h"

#include "control/condora.h"
#include "dialog/frmcondora.h"
#include "dialog/frmgetvalue.h"
#include "platform/colorcontrast.h"
#include "platform/flexgrid/flexgrid.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace condora;
using namespace dialogtest;

namespace {

QPalette fusionLight()
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(u"Fusion"_s));
    return fusion->standardPalette();
}

QPalette darkPalette()
{
    QPalette p = fusionLight();
    const QColor window(53, 53, 53);
    const QColor base(42, 42, 42);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    return p;
}

/// The colours the control hands a run by default: the palette's system colours.
void usePaletteColours(DialogStyle &style)
{
    style.GridForeColor = OleColor::WindowText;
    style.GridBackColor = OleColor::WindowBackground;
    style.GridForeColorSel = OleColor::HighlightText;
    style.GridBackColorSel = OleColor::Highlight;
    style.GridForeColorFixed = OleColor::ButtonText;
    style.GridBackColorFixed = OleColor::ButtonFace;
    style.FormBackColor = OleColor::ButtonFace;
}

QString ratioText(const QColor &a, const QColor &b)
{
    return u"%1 on %2: %3"_s.arg(a.name(), b.name()).arg(contrastRatio(a, b), 0, 'f', 2);
}

} // namespace

void TestDialog::controlsHaveAccessibleNames_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");

    QTest::newRow("condition grid") << u"MFGQuery"_s << u"Query condition"_s;
    QTest::newRow("choice list") << u"comItem"_s << u"Cell choices"_s;
    QTest::newRow("Value editor") << u"txtValue"_s << u"Value"_s;
    QTest::newRow("the .. button is not read as dots") << u"cmdGetValue"_s << u"Pick a value"_s;
    QTest::newRow("preview switch") << u"chkSqlShow"_s << u"Show Sql"_s;
    QTest::newRow("preview") << u"txtCondition"_s << u"Composed condition"_s;
    QTest::newRow("Add") << u"cmdAdd"_s << u"Add row"_s;
    QTest::newRow("Delete") << u"cmdDel"_s << u"Delete row"_s;
    QTest::newRow("Verify") << u"cmdVerify"_s << u"Verify"_s;
    QTest::newRow("OK") << u"cmdOK"_s << u"OK"_s;
    QTest::newRow("Cancel") << u"cmdCancel"_s << u"Cancel"_s;
}

void TestDialog::controlsHaveAccessibleNames()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    frmCondora *dialog = openDialog();
    auto *widget = dialog->findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(widget->accessibleName(), name);
    QVERIFY(!widget->accessibleDescription().isEmpty());
}

void TestDialog::usedRowReadWithoutColour()
{
    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    clickCell(grid(), 2, 1);
    QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), u"id"_s)); // a column alone: not used

    const QAbstractItemModel *model = grid()->view()->model();
    const QModelIndex usedValue = model->index(0, 3);
    QCOMPARE(usedValue.data(Qt::AccessibleTextRole).toString(), u"Smith"_s);
    QCOMPARE(usedValue.data(Qt::AccessibleDescriptionRole).toString(), u"Row 1, Value, used in the condition"_s);
    QCOMPARE(model->index(1, 1).data(Qt::AccessibleDescriptionRole).toString(), u"Row 2, Column"_s);
    QCOMPARE(model->index(1, 3).data(Qt::AccessibleTextRole).toString(), u"blank"_s);
    // Shown in bold as well as in green; the statement is the same as without the mark.
    QVERIFY(model->index(0, 1).data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!model->index(1, 1).data(Qt::FontRole).value<QFont>().bold());
    QCOMPARE(dialog->resultSql(),
             u"select e.id, e.name, e.notes, e.hired, e.active, e.photo from emp e where  e.name = 'Smith'"_s);

    m_dialog->close();
    whenModal(m_scope.get(), u"frmGetValue"_s, [](QWidget *picker) {
        auto *values = find<FlexGrid>(picker, "MSFlexGrid1");
        QCOMPARE(values->accessibleName(), u"Values"_s);
        QCOMPARE(values->view()->model()->index(0, 0).data(Qt::AccessibleDescriptionRole).toString(),
                 u"Row 1, name"_s);
        picker->close();
    });
    openDialog();
    enterRow(1, u"name"_s, u"= "_s);
    QTest::mouseClick(find<QPushButton>(m_dialog.get(), "cmdGetValue"), Qt::LeftButton);
}

void TestDialog::coloursReadableInPalettes_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::newRow("Fusion light palette") << fusionLight();
    QTest::newRow("dark palette") << darkPalette();
}

void TestDialog::coloursReadableInPalettes()
{
    QFETCH(QPalette, palette);
    const QPalette saved = QApplication::palette();
    QApplication::setPalette(palette);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(saved); });

    usePaletteColours(m_run.style);
    frmCondora *dialog = openDialog();
    auto *value = find<QLineEdit>(dialog, "txtValue");
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);

    // The used row's text (row 1, column cell, not selected) against its cell.
    const QColor usedText = grid()->shownForeColor(1, 1);
    const QColor usedBack = grid()->shownBackColor(1, 1);
    QVERIFY2(contrastRatio(usedText, usedBack) >= 4.5, qPrintable(ratioText(usedText, usedBack)));
    QVERIFY2(usedText.green() > usedText.red() && usedText.green() > usedText.blue(), qPrintable(usedText.name()));

    // The Value editor and its cell.
    const QColor text = value->palette().color(QPalette::Text);
    const QColor base = value->palette().color(QPalette::Base);
    QVERIFY2(contrastRatio(text, base) >= 4.5, qPrintable(ratioText(text, base)));

    // A locked Value editor (a null test) in the palette's button colours.
    clickCell(grid(), 1, 2);
    QVERIFY(pickItem(find<QComboBox>(dialog, "comItem"), u"null "_s));
    QVERIFY(value->isReadOnly());
    const QColor lockedText = value->palette().color(QPalette::Text);
    const QColor lockedBase = value->palette().color(QPalette::Base);
    QCOMPARE(lockedBase, palette.color(QPalette::Button));
    QVERIFY2(contrastRatio(lockedText, lockedBase) >= 4.5, qPrintable(ratioText(lockedText, lockedBase)));

    // The selection (the current cell is selected).
    const QColor selText = grid()->shownForeColor(grid()->Row(), grid()->Col());
    const QColor selBack = grid()->shownBackColor(grid()->Row(), grid()->Col());
    QVERIFY2(contrastRatio(selText, selBack) >= 4.5, qPrintable(ratioText(selText, selBack)));
}

void TestDialog::queryDialogOwnedByControlWindow()
{
    QWidget host;
    host.setObjectName(u"hostWindow"_s);
    host.setGeometry(100, 80, 900, 700);
    auto *control = new Condora(&host);
    control->setConnObj(m_run.connection);
    control->setSqlInput(u"select e.id, e.name from emp e"_s);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    QWidget *owner = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
    QPoint centre;
    whenModal(m_scope.get(), u"frmCondora"_s, [&](QWidget *dialog) {
        owner = dialog->parentWidget();
        modality = dialog->windowModality();
        centre = dialog->frameGeometry().center();
        QTest::mouseClick(find<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
    });
    QCOMPARE(control->GetQuerySql(), QString());
    QCOMPARE(owner, &host);
    QCOMPARE(modality, Qt::ApplicationModal);
    // Qt centres the dialog allowing for a frame it guesses on platforms that draw none.
    const QPoint offset = centre - host.frameGeometry().center();
    QVERIFY2(std::abs(offset.x()) <= 40 && std::abs(offset.y()) <= 50, qPrintable(u"%1,%2"_s.arg(offset.x()).arg(offset.y())));
}
