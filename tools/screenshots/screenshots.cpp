// Makes the README's screenshots: the demo window after a query run, the query dialog with a
// condition and its statement shown, and the value picker over it. tools/screenshots.sh runs it
// once per look (light, dark, 12 pt, twice the scale) on a virtual display.
//
//   condora_screenshots OUTDIR NAME [--dark] [--points N] [--translation QMFILE] [--features] [--working]
//
// Writes OUTDIR/NAME-demo.png, NAME-query.png and NAME-picker.png; with --features also a second
// run: NAME-reopened.png (the kept condition), NAME-picker-search.png (search and rows per
// value), NAME-verify.png (Verify's row count), NAME-picker-several.png (several values picked
// for "in") and NAME-operators.png (rows with "in" and "starts with"); with --working
// NAME-working.png (the query dialog with the "Working..." indicator a long statement shows).
// Exits non-zero when a step did not happen.

#include "dialogdriver.h"

#include "control/condora.h"
#include "demo/form2.h"
#include "dialog/workingindicator.h"
#include "platform/flexgrid/flexgrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace dialogtest;

namespace {

QPalette darkPalette()
{
    QPalette p = QApplication::style()->standardPalette();
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 30);
    const QColor text(230, 230, 230);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::Button, window);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::ToolTipBase, window);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::Highlight, QColor(38, 79, 120));
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::PlaceholderText, QColor(150, 150, 150));
    }
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    return p;
}

QStringList g_failures;

void save(QWidget *widget, const QString &path)
{
    QCoreApplication::processEvents();
    if (!widget->grab().save(path, "PNG", 0)) {
        g_failures << u"could not write "_s + path;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        qCritical("usage: condora_screenshots OUTDIR NAME [--dark] [--points N] [--translation QMFILE]");
        return 2;
    }
    const QDir out(args.at(1));
    const QString name = args.at(2);
    if (args.contains(u"--dark"_s)) {
        QApplication::setPalette(darkPalette());
    }
    if (const qsizetype at = args.indexOf(u"--points"_s); at > 0 && at + 1 < args.size()) {
        QFont font = QApplication::font();
        font.setPointSizeF(args.at(at + 1).toDouble());
        QApplication::setFont(font);
    }

    QTranslator translator;
    if (const qsizetype at = args.indexOf(u"--translation"_s); at > 0 && at + 1 < args.size()) {
        if (!translator.load(args.at(at + 1))) {
            qCritical("cannot load %s", qPrintable(args.at(at + 1)));
            return 2;
        }
        QCoreApplication::installTranslator(&translator);
    }

    condora::Form2 window;
    if (!window.openDatabase(QStringLiteral(CONDORA_DEMO_DATABASE))) {
        return 1;
    }
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return 1;
    }

    // GetRecordset: a condition on Gender, its value picked from the list, then OK.
    QObject scope;
    whenModal(&scope, u"frmCondora"_s, [&](QWidget *dialog) {
        auto *grid = dialog->findChild<condora::FlexGrid *>(u"MFGQuery"_s);
        dialog->findChild<QCheckBox *>(u"chkSqlShow"_s)->setChecked(true);
        if (!enterRow(dialog, 1, u"Gender"_s, u"= "_s, QString())) {
            g_failures << u"no Gender row"_s;
        }
        whenModal(&scope, u"frmGetValue"_s, [&](QWidget *picker) {
            auto *values = picker->findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
            values->setRow(1);
            save(picker, out.filePath(name + u"-picker.png"_s));
            clickCell(values, 1, 0);
        });
        clickCell(grid, 1, 3);
        QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdGetValue"_s), Qt::LeftButton);
        // Off the Value cell, so that it shows the picked value and no editor stays open.
        clickCell(grid, 1, 5);
        QTest::keyClick(dialog->findChild<QComboBox *>(u"comItem"_s), Qt::Key_Escape);
        save(dialog, out.filePath(name + u"-query.png"_s));
        if (args.contains(u"--working"_s)) {
            // The indicator as a statement of more than 300 ms shows it over the dialog.
            auto *working = condora::WorkingIndicator::inside(dialog);
            working->present();
            save(dialog, out.filePath(name + u"-working.png"_s));
            delete working;
        }
        QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
    });
    // A step that fails inside the dialog must not leave it open.
    QTimer::singleShot(30000, &scope, [] {
        g_failures << u"timed out"_s;
        closeAllDialogs();
    });
    QTest::mouseClick(window.findChild<QPushButton *>(u"cmdRecordset"_s), Qt::LeftButton);
    save(&window, out.filePath(name + u"-demo.png"_s));

    if (args.contains(u"--features"_s)) {
        // The same statement again: the kept condition reopens; the picker searches and counts;
        // Verify tells the rows.
        whenModal(&scope, u"frmCondora"_s, [&](QWidget *dialog) {
            auto *grid = dialog->findChild<condora::FlexGrid *>(u"MFGQuery"_s);
            dialog->findChild<QCheckBox *>(u"chkSqlShow"_s)->setChecked(true);
            save(dialog, out.filePath(name + u"-reopened.png"_s));
            whenModal(&scope, u"frmGetValue"_s, [&](QWidget *picker) {
                picker->findChild<QCheckBox *>(u"chkCounts"_s)->setChecked(true);
                QTest::keyClicks(picker->findChild<QLineEdit *>(u"txtSearch"_s), u"ale"_s);
                QTest::qWait(400);
                save(picker, out.filePath(name + u"-picker-search.png"_s));
                QTest::keyClick(picker, Qt::Key_Escape);
            });
            clickCell(grid, 1, 3);
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdGetValue"_s), Qt::LeftButton);
            clickCell(grid, 1, 5);
            QTest::keyClick(dialog->findChild<QComboBox *>(u"comItem"_s), Qt::Key_Escape);
            bool verified = false;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    poll.stop();
                    verified = true;
                    save(box, out.filePath(name + u"-verify.png"_s));
                    box->button(QMessageBox::Ok)->click();
                }
            });
            poll.start(50);
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdVerify"_s), Qt::LeftButton);
            if (!verified) {
                g_failures << u"no row count shown"_s;
            }
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
        });
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdRecordset"_s), Qt::LeftButton);

        // The further operators: "in" with several values picked, and "starts with".
        whenModal(&scope, u"frmCondora"_s, [&](QWidget *dialog) {
            auto *grid = dialog->findChild<condora::FlexGrid *>(u"MFGQuery"_s);
            dialog->findChild<QCheckBox *>(u"chkSqlShow"_s)->setChecked(true);
            while (grid->Rows() < 4) {
                QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdAdd"_s), Qt::LeftButton);
            }
            if (!enterRow(dialog, 2, u"CompanyName"_s, u"in "_s, QString())
                || !enterRow(dialog, 3, u"ContactName"_s, u"starts with "_s, u"Ma"_s)) {
                g_failures << u"no rows with the further operators"_s;
            }
            whenModal(&scope, u"frmGetValue"_s, [&](QWidget *picker) {
                auto *values = picker->findChild<condora::FlexGrid *>(u"MSFlexGrid1"_s);
                for (int row : {1, 3, 4}) {
                    clickCell(values, row, 0);
                }
                save(picker, out.filePath(name + u"-picker-several.png"_s));
                QTest::keyClick(values->view(), Qt::Key_Return);
            });
            clickCell(grid, 2, 3);
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdGetValue"_s), Qt::LeftButton);
            clickCell(grid, 1, 5);
            QTest::keyClick(dialog->findChild<QComboBox *>(u"comItem"_s), Qt::Key_Escape);
            save(dialog, out.filePath(name + u"-operators.png"_s));
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
        });
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdRecordset"_s), Qt::LeftButton);

        // The kept condition again, with the live row count (and the list of recent conditions).
        auto *control = window.findChild<Condora *>();
        control->setLiveCount(true);
        control->setRecentConditions(true);
        whenModal(&scope, u"frmCondora"_s, [&](QWidget *dialog) {
            dialog->findChild<QCheckBox *>(u"chkSqlShow"_s)->setChecked(true);
            auto *count = dialog->findChild<QLabel *>(u"lblLiveCount"_s);
            if (count == nullptr || !QTest::qWaitFor([count] { return !count->text().isEmpty(); }, 5000)) {
                g_failures << u"no live count shown"_s;
            }
            save(dialog, out.filePath(name + u"-livecount.png"_s));
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
        });
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdRecordset"_s), Qt::LeftButton);
    }

    for (const QString &failure : std::as_const(g_failures)) {
        qCritical("%s", qPrintable(failure));
    }
    return g_failures.isEmpty() ? 0 : 1;
}
