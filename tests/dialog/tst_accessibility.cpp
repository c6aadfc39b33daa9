// What the query dialog offers beyond the mouse and the default look: accessible names,
// readable colours in light and dark palettes, its owner window, and room for larger fonts.

#include "tst_dialog.h"

#include "dialogdriver.h"

#include "control/condora.h"
#include "dialog/busyactivity.h"
#include "dialog/frmcondora.h"
#include "dialog/frmgetvalue.h"
#include "platform/colorcontrast.h"
#include "platform/flexgrid/flexgrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QStyle>
#include <QComboBox>
#include <QLabel>
#include <QToolTip>
#include <QTranslator>
#include <QAccessible>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <functional>
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

    // The control's picture on a window of this palette: its ring (left edge, at mid height)
    // stands out from the window by 3:1.
    QWidget window;
    window.setAutoFillBackground(true);
    auto *control = new Condora(&window);
    const QImage shown = window.grab().toImage();
    const QColor ink = shown.pixelColor(control->x() + 4, control->y() + 12);
    const QColor around = palette.color(QPalette::Window);
    QVERIFY2(contrastRatio(ink, around) >= 3.0, qPrintable(ratioText(ink, around)));
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

namespace {

/// The application font and every style font at `points`, as for a user who chose that size;
/// the application font comes back when the guard goes.
auto useFontSize(QueryRun &run, double points)
{
    const QFont before = QApplication::font();
    QFont font = before;
    font.setPointSizeF(points);
    QApplication::setFont(font);
    for (FontHandle *handle : {&run.style.GridFont, &run.style.GridFontFixed, &run.style.ButtonFont,
                               &run.style.LabelFont}) {
        *handle = std::make_shared<QFont>(font);
    }
    return qScopeGuard([before] { QApplication::setFont(before); });
}

void addFontSizes()
{
    QTest::addColumn<double>("points");
    for (double points : {8.0, 10.0, 12.0, 14.0}) {
        QTest::addRow("%g pt", points) << points;
    }
}

} // namespace

void TestDialog::fontsFitAtEverySize_data()
{
    addFontSizes();
}

void TestDialog::fontsFitAtEverySize()
{
    QFETCH(double, points);
    const auto restore = useFontSize(m_run, points);
    m_run.showSqlSwitch = true;
    frmCondora *dialog = openDialog();
    find<QCheckBox>(dialog, "chkSqlShow")->setChecked(true);

    const int textHeight = QFontMetrics(grid()->Font()).height();
    for (int row = 0; row < grid()->Rows(); ++row) {
        QVERIFY2(pixels(grid()->RowHeight(row)) >= textHeight + 4, qPrintable(QString::number(row)));
    }
    for (const char *name : {"cmdAdd", "cmdDel", "cmdVerify", "cmdOK", "cmdCancel", "Label1", "Label2"}) {
        const QWidget *control = find<QWidget>(dialog, name);
        QVERIFY2(control->width() >= control->sizeHint().width(), name);
        QVERIFY2(control->height() >= control->sizeHint().height(), name);
    }

    // The list editor, then the Value editor with its button, each over a row as tall as it.
    clickCell(grid(), 1, 1);
    auto *list = find<QComboBox>(dialog, "comItem");
    QVERIFY(list->isVisible());
    QVERIFY(list->height() >= list->sizeHint().height());
    QCOMPARE(list->height(), pixels(grid()->RowHeight(1)));
    enterRow(1, u"name"_s, u"= "_s);
    clickCell(grid(), 1, 3);
    auto *value = find<QLineEdit>(dialog, "txtValue");
    QVERIFY(value->isVisible());
    QVERIFY(value->height() >= value->sizeHint().height());
    QCOMPARE(find<QPushButton>(dialog, "cmdGetValue")->height(), value->height());

    // The preview shows a whole line of the statement.
    auto *preview = find<QPlainTextEdit>(dialog, "txtCondition");
    QVERIFY(preview->isVisible());
    const int line = QFontMetrics(preview->font()).lineSpacing() + 2 * int(preview->document()->documentMargin());
    QVERIFY2(preview->viewport()->height() >= line,
             qPrintable(u"%1 < %2"_s.arg(preview->viewport()->height()).arg(line)));
}

void TestDialog::pickerColumnFitsItsValues_data()
{
    QTest::addColumn<double>("points");
    QTest::addColumn<int>("length");
    for (double points : {8.0, 14.0}) {
        for (int length : {5, 60, 100000}) {
            QTest::addRow("%g pt, values of %d characters", points, length) << points << length;
        }
    }
}

void TestDialog::pickerColumnFitsItsValues()
{
    QFETCH(double, points);
    QFETCH(int, length);
    const auto restore = useFontSize(m_run, points);
    const QString longest = QString(length, u'W');
    m_db->exec({u"CREATE TABLE words (w VARCHAR(40))"_s, u"INSERT INTO words VALUES ('a'), ('%1')"_s.arg(longest)});
    ColumnInfo w;
    w.colExpr = u"w"_s;
    w.colName = u"w"_s;
    w.tabName = u"words"_s;
    w.tabAlias = u"words"_s;
    w.typeClass = TypeClass::String;
    m_run.fieldCatalog.append(w);

    frmCondora *dialog = openDialog();
    frmGetValue picker(m_run, dialog);
    picker.setHeadTitle(u"w"_s);
    picker.setP_colIndex(QString::number(m_run.fieldCatalog.size() - 1));
    picker.show();
    auto *g = find<FlexGrid>(&picker, "MSFlexGrid1");
    QCOMPARE(g->Rows(), 3);
    const int column = pixels(g->ColWidth(0));
    // At least as wide as the design (past the grid's right edge), as wide as the longest value
    // needs, and never wider than the cap however long the value.
    const int design = pixels(twipsRect(g).width() - twipsRect(g).left() - 160 + 1000);
    const int needed = QFontMetrics(g->Font()).horizontalAdvance(longest);
    QVERIFY(column >= design);
    QVERIFY(column <= design * frmGetValue::MaxWidthFactor + 1);
    QVERIFY2(column >= std::min(needed, design * frmGetValue::MaxWidthFactor), qPrintable(QString::number(column)));
    picker.close();
}

namespace {

/// What is wrong with the visible controls named in `names` of `window`: a text wider than its
/// control (unless elided with its whole text in the tool tip), a control outside the window,
/// two controls on top of each other.
QStringList layoutFaults(const QWidget *window, const QStringList &names)
{
    QStringList faults;
    QList<const QWidget *> shown;
    for (const QString &name : names) {
        const auto *w = window->findChild<const QWidget *>(name);
        if (w == nullptr || !w->isVisible()) {
            continue;
        }
        shown.append(w);
        const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!window->rect().contains(r)) {
            faults.append(name + u" outside the window"_s);
        }
        QString text;
        if (const auto *label = qobject_cast<const QLabel *>(w)) {
            text = label->text();
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(w)) {
            text = QString(button->text()).remove(u'&');
        }
        const int room = qobject_cast<const QPushButton *>(w) ? w->width() - 8 : w->contentsRect().width();
        // A check box needs its box and spacing too: all of its size hint.
        const int needed =
            qobject_cast<const QCheckBox *>(w) ? w->sizeHint().width() : w->fontMetrics().horizontalAdvance(text);
        if (!text.isEmpty() && needed > room && !(text.contains(u"..."_s) && !w->toolTip().isEmpty())) {
            faults.append(u"%1 cut: %2 > %3"_s.arg(name).arg(needed).arg(room));
        }
    }
    for (int i = 0; i < shown.size(); ++i) {
        for (int j = i + 1; j < shown.size(); ++j) {
            const QRect a(shown[i]->mapTo(window, QPoint(0, 0)), shown[i]->size());
            const QRect b(shown[j]->mapTo(window, QPoint(0, 0)), shown[j]->size());
            if (a.intersects(b)) {
                faults.append(shown[i]->objectName() + u" over "_s + shown[j]->objectName());
            }
        }
    }
    return faults;
}

} // namespace

void TestDialog::everyTextWholeAndApart_data()
{
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("german");
    for (double points : {8.0, 10.0, 12.0, 14.0}) {
        QTest::addRow("%g pt", points) << points << false;
        QTest::addRow("%g pt, German", points) << points << true;
    }
}

void TestDialog::everyTextWholeAndApart()
{
    QFETCH(double, points);
    QFETCH(bool, german);
    QTranslator translator;
    if (german) {
#ifdef CONDORA_QM_DIR
        QVERIFY(translator.load(u"condora_de"_s, QString::fromUtf8(CONDORA_QM_DIR)));
        QVERIFY(QCoreApplication::installTranslator(&translator));
#else
        QSKIP("built without the translations");
#endif
    }
    const auto removeTranslator = qScopeGuard([&translator] { QCoreApplication::removeTranslator(&translator); });
    const auto restore = useFontSize(m_run, points);
    m_run.showSqlSwitch = true;
    frmCondora *dialog = openDialog();
    find<QCheckBox>(dialog, "chkSqlShow")->setChecked(true);
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    dialog->findChild<QLineEdit *>(u"txtValue"_s)->hide(); // the floating editor lies over the grid by design
    const QStringList faults = layoutFaults(dialog, {u"Label1"_s, u"chkSqlShow"_s, u"Label2"_s, u"MFGQuery"_s,
                                                     u"txtCondition"_s, u"cmdAdd"_s, u"cmdDel"_s, u"cmdVerify"_s,
                                                     u"cmdOK"_s, u"cmdCancel"_s});
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"; "_s)));
    // The header titles are whole in their columns.
    for (int col = 0; col < 6; ++col) {
        QFont title = grid()->FontFixed();
        title.setBold(true);
        title.setPointSize(10);
        const QString text = grid()->TextMatrix(0, col).trimmed();
        QVERIFY2(QFontMetrics(title).horizontalAdvance(text) <= pixels(grid()->ColWidth(col)), qPrintable(text));
    }

    frmGetValue picker(m_run, dialog);
    picker.setHeadTitle(u"name"_s);
    picker.setP_colIndex(u"2"_s);
    picker.setNarrowing(u"select * from emp"_s, u"name"_s);
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    const QStringList pickerFaults = layoutFaults(&picker, {u"txtSearch"_s, u"MSFlexGrid1"_s, u"lblCount"_s,
                                                             u"chkCounts"_s, u"chkNarrow"_s});
    QVERIFY2(pickerFaults.isEmpty(), qPrintable(pickerFaults.join(u"; "_s)));
    // Rows per value: both titles whole, and the counts beside the scroll bar, not under it.
    find<QCheckBox>(&picker, "chkNarrow")->setChecked(false);
    find<QCheckBox>(&picker, "chkCounts")->setChecked(true);
    auto *values = find<FlexGrid>(&picker, "MSFlexGrid1");
    QTRY_COMPARE(values->Cols(), 2);
    const QHeaderView *header = values->view()->horizontalHeader();
    QFont titleFont = values->FontFixed();
    titleFont.setBold(true);
    const int arrow = header->style()->pixelMetric(QStyle::PM_HeaderMarkSize);
    for (int col = 0; col < 2; ++col) {
        const int needed = QFontMetrics(titleFont).horizontalAdvance(values->TextMatrix(0, col)) + arrow;
        QVERIFY2(needed <= header->sectionSize(col), qPrintable(values->TextMatrix(0, col)));
    }
    QVERIFY2(header->sectionViewportPosition(1) + header->sectionSize(1) <= values->view()->viewport()->width(),
             qPrintable(u"%1 + %2 > %3"_s.arg(header->sectionViewportPosition(1))
                            .arg(header->sectionSize(1))
                            .arg(values->view()->viewport()->width())));
    picker.close();
}

void TestDialog::accessibleTreeNamed()
{
    m_run.showSqlSwitch = true;
    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    find<QCheckBox>(dialog, "chkSqlShow")->setChecked(true);
    frmGetValue picker(m_run, dialog);
    picker.setHeadTitle(u"name"_s);
    picker.setP_colIndex(u"2"_s);
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    find<QLineEdit>(&picker, "txtSearch")->setText(u"S"_s); // shows the clear button

    // Every node a user can reach with the keyboard or a pointer: a role and a plain name.
    QStringList faults;
    std::function<void(QAccessibleInterface *, const QString &)> walk = [&](QAccessibleInterface *node,
                                                                            const QString &path) {
        if (node == nullptr || node->state().invisible) {
            return;
        }
        const auto *widget = qobject_cast<const QWidget *>(node->object());
        const QString name = node->text(QAccessible::Name);
        const QString where = path + u'/' + (widget ? QString::fromLatin1(widget->metaObject()->className()) : QString());
        const bool pressable = node->role() == QAccessible::Button || node->role() == QAccessible::PushButton;
        if (widget != nullptr && (widget->focusPolicy() != Qt::NoFocus || pressable) && widget->isEnabled()) {
            if (node->role() == QAccessible::NoRole) {
                faults.append(where + u": no role"_s);
            }
            if (name.trimmed().isEmpty() || name != name.trimmed() || name.contains(u'\n') || name.contains(u'\r')) {
                faults.append(where + u": name \""_s + name + u'"');
            }
        }
        if (node->tableInterface() == nullptr) { // table cells are the cells' own texts
            for (int i = 0; i < node->childCount(); ++i) {
                walk(node->child(i), where);
            }
        }
    };
    walk(QAccessible::queryAccessibleInterface(dialog), u"frmCondora"_s);
    walk(QAccessible::queryAccessibleInterface(&picker), u"frmGetValue"_s);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"; "_s)));

    // The list entries read without blanks, and the blank bracket entry has a name.
    clickCell(grid(), 1, 0);
    auto *list = find<QComboBox>(dialog, "comItem");
    QCOMPARE(list->itemData(1, Qt::AccessibleTextRole).toString(), u"No bracket"_s);
    clickCell(grid(), 1, 5);
    QCOMPARE(items(list), (QStringList{u"And"_s, u"Or"_s}));
    picker.close();
}

void TestDialog::messagesNameTheRow_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("validation: classic text, the row named under it, no Title: QUERY")
        << u"cmdVerify"_s << u"Brackets in same type can't be use continuously!"_s << QString();
    QTest::newRow("delete question: classic text, the row named under it, Title names window and box")
        << u"cmdDel"_s << u"Are you sure to delete the row?"_s << u"Customers"_s;
}

void TestDialog::messagesNameTheRow()
{
    QFETCH(QString, command);
    QFETCH(QString, text);
    QFETCH(QString, title);
    m_run.title = title;
    frmCondora *dialog = openDialog();
    QCOMPARE(dialog->windowTitle(), title.isEmpty() ? u"QUERY"_s : title);
    auto *list = find<QComboBox>(dialog, "comItem");
    clickCell(grid(), 1, 0);
    QVERIFY(pickItem(list, u"("_s));
    enterRow(1, u"name"_s, u"= "_s, u"a"_s);
    clickCell(grid(), 1, 5);
    QVERIFY(pickItem(list, u" And "_s));
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    clickCell(grid(), 2, 0);
    QVERIFY(pickItem(list, u"("_s));
    enterRow(2, u"id"_s, u"> "_s, u"3"_s);

    m_ui->queueAnswer(MessageAnswer::Cancel);
    QTest::mouseClick(find<QPushButton>(dialog, command.toLatin1().constData()), Qt::LeftButton);
    QCOMPARE(m_ui->messages().size(), 1);
    const MessageRequest &box = m_ui->messages().constFirst();
    QCOMPARE(box.text, text);
    QCOMPARE(box.detail, u"Row 2 of the condition: ( id > 3"_s);
    QCOMPARE(box.caption, title);
    QCOMPARE(box.explicitCaption, !title.isEmpty()); // no Title: the box has no caption of its own, as always
    QCOMPARE(grid()->Row(), 2); // the row named is the row selected
}

void TestDialog::refusedKeyIsShown()
{
    frmCondora *dialog = openDialog();
    enterRow(1, u"id"_s, u"= "_s);
    clickCell(grid(), 1, 3);
    auto *value = find<QLineEdit>(dialog, "txtValue");
    QTest::keyClicks(value, u"1x"_s);
    QCOMPARE(value->text(), u"1"_s);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), frmCondora::refusedKeyText());
    QToolTip::hideText();
}

void TestDialog::gridHidesItsKeyColumn()
{
    frmCondora *dialog = openDialog();
    enterRow(1, u"name"_s, u"= "_s, u"Smith"_s);
    QTest::mouseClick(find<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
    enterRow(2, u"id"_s, u"> "_s, u"2"_s);

    // What a user sees, read from the view itself: the shown columns' titles, then each row's cells.
    const QTableView *view = grid()->view();
    const QAbstractItemModel *model = view->model();
    QStringList seen;
    for (int c = 0; c < model->columnCount(); ++c) {
        if (!view->isColumnHidden(c)) {
            seen.append(model->headerData(c, Qt::Horizontal).toString().trimmed());
        }
    }
    const qsizetype shown = seen.size();
    QCOMPARE(shown, model->columnCount() - 1); // the key column (colIndex) is hidden
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = 0; c < model->columnCount(); ++c) {
            if (!view->isColumnHidden(c)) {
                seen.append(model->index(r, c).data(Qt::AccessibleTextRole).toString().trimmed());
            }
        }
    }

    QAccessibleInterface *table = QAccessible::queryAccessibleInterface(const_cast<QTableView *>(view));
    QVERIFY(table && table->tableInterface());
    QCOMPARE(table->role(), QAccessible::Table);
    QCOMPARE(table->tableInterface()->columnCount(), int(shown));
    QCOMPARE(table->tableInterface()->rowCount(), model->rowCount());
    QStringList read;
    for (int i = 0; i < table->childCount(); ++i) {
        QAccessibleInterface *node = table->child(i);
        QVERIFY(node);
        QCOMPARE(table->indexOfChild(node), i);
        read.append(node->text(QAccessible::Name));
    }
    QCOMPARE(read, seen);
    QVERIFY(!read.contains(u"colIndex"_s));
    // A cell and the table agree on where it is, and name its column's title.
    QAccessibleInterface *value = table->tableInterface()->cellAt(0, 3);
    QCOMPARE(value->text(QAccessible::Name), u"Smith"_s);
    QCOMPARE(value->tableCellInterface()->columnIndex(), 3);
    QCOMPARE(value->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name), u"Value"_s);
}

namespace {

QList<std::pair<QAccessible::Event, QString>> g_accessibleEvents;

void recordAccessibleEvent(QAccessibleEvent *event)
{
    const QObject *object = event->object();
    g_accessibleEvents.append({event->type(), object ? object->objectName() : QString()});
}

} // namespace

void TestDialog::busyStateAnnounced()
{
    frmCondora *dialog = openDialog();
    BusyActivity *busy = BusyActivity::on(*m_run.connection);
    QVERIFY(busy);
    g_accessibleEvents.clear();
    const bool wasActive = QAccessible::isActive();
    const auto before = QAccessible::installUpdateHandler(&recordAccessibleEvent);
    QAccessible::setActive(true); // as with a screen reader listening
    const auto restore = qScopeGuard([before, wasActive] {
        QAccessible::installUpdateHandler(before);
        QAccessible::setActive(wasActive);
    });

    // While the indicator shows: the buttons a user can reach, by name.
    QStringList reachable;
    QString announced;
    QAccessible::Role announcedAs = QAccessible::NoRole;
    QTimer::singleShot(BusyActivity::ShowAfterMs + 300, m_scope.get(), [&] {
        std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
            if (node == nullptr || node->state().invisible) {
                return;
            }
            if (node->role() == QAccessible::PushButton && !node->state().disabled) {
                reachable.append(node->text(QAccessible::Name));
            }
            if (node->object() != nullptr && node->object()->objectName() == u"fraWorking"_s) {
                announced = node->text(QAccessible::Name);
                announcedAs = node->role();
            }
            if (node->tableInterface() == nullptr) {
                for (int i = 0; i < node->childCount(); ++i) {
                    walk(node->child(i));
                }
            }
        };
        walk(QAccessible::queryAccessibleInterface(dialog));
    });
    busy->runAside([] { QThread::msleep(BusyActivity::ShowAfterMs + 700); });

    QCOMPARE(reachable, QStringList{u"Cancel the statement"_s});
    // An alert that appears is read out at once; where accessibility is active, its event is sent.
    QCOMPARE(announced, u"Working..."_s);
    QCOMPARE(announcedAs, QAccessible::AlertMessage);
    QVERIFY(!QAccessible::isActive() || g_accessibleEvents.contains(std::pair{QAccessible::Alert, u"fraWorking"_s}));
}
