#include "support/testdatabases.h"
#include "platform/ado/connectionstatistics.h"
#include "support/testmain.h"

#include "analysis/queryrun.h"
#include "analysis/statementtools.h"
#include "control/condora.h"
#include "control/propertybag.h"
#include "control/querydialoghook.h"
#include "control/recentconditions.h"
#include "dialog/applystyle.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/flexgrid/flexgrid.h"
#include "platform/runtimeerror.h"
#include "platform/userinteraction.h"

#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <optional>

using namespace Qt::StringLiterals;
using condora::OleColor;

namespace {

const QString customerSql = u"select CustomerID, CompanyName, GenderID from Customers"_s;

/// Stands in for the query dialog: records what the run handed over and answers as OK
/// (the given statement) or Cancel would, emptying the filter list as every close does.
struct DialogStandIn
{
    int calls = 0;
    bool confirm = true;
    QString answer;
    QString baseSqlSeen;
    QStringList filtersSeen;
    condora::FieldCatalog catalogSeen;
    condora::DialogStyle styleSeen;
    /// Thrown by the stand-in, as a failing dialog would.
    std::optional<condora::RuntimeError> failure;

    void install()
    {
        condora::setQueryDialogFunction([this](const condora::QueryRun &run) {
            ++calls;
            baseSqlSeen = run.baseSql;
            filtersSeen = run.filters;
            catalogSeen = run.fieldCatalog;
            styleSeen = run.style;
            if (run.connection) {
                condora::ado::resetStatementCount(*run.connection);
            }
            if (failure) {
                throw *failure;
            }
            return confirm ? answer : QString();
        });
    }
};

/// A label class whose name merely starts with "QLabel": not styled.
class QLabelEx : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
};

QStringList ownPropertyNames()
{
    QStringList names;
    const QMetaObject &mo = Condora::staticMetaObject;
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        names << QString::fromLatin1(mo.property(i).name());
    }
    return names;
}

} // namespace

class TestControl : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<condora::RecordingUserInteraction> m_ui;
    std::unique_ptr<condora::test::SqliteFile> m_db;
    DialogStandIn m_dialog;

    std::unique_ptr<Condora> newControl(const QString &sql = customerSql)
    {
        auto control = std::make_unique<Condora>();
        control->setConnObj(m_db->open());
        control->setSqlInput(sql);
        control->setTitle(u"Customers"_s);
        return control;
    }

private Q_SLOTS:
    // The remembered conditions stay bounded: ten per statement, newest first, and the statements
    // used longest ago go once there are too many.
    void recentConditionsAreBounded_data()
    {
        QTest::addColumn<QList<QStringList>>("accepted"); // {statement, condition} in order
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QStringList>("expected");
        const auto run = [](const QString &sql, int from, int to) {
            QList<QStringList> accepted;
            for (int i = from; i < to; ++i) {
                accepted.append({sql, u"c%1"_s.arg(i)});
            }
            return accepted;
        };
        const auto statements = [](int from, int to) {
            QList<QStringList> accepted;
            for (int i = from; i < to; ++i) {
                accepted.append({u"s%1"_s.arg(i), u"c"_s});
            }
            return accepted;
        };
        QTest::newRow("ten kept") << run(u"s"_s, 0, 12) << u"s"_s
                                  << QStringList{u"c11"_s, u"c10"_s, u"c9"_s, u"c8"_s, u"c7"_s,
                                                 u"c6"_s, u"c5"_s, u"c4"_s, u"c3"_s, u"c2"_s};
        QTest::newRow("an equal one moves to the front")
            << QList<QStringList>{{u"s"_s, u"a"_s}, {u"s"_s, u"b"_s}, {u"t"_s, u"x"_s}, {u"s"_s, u"a"_s}} << u"s"_s
            << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("the newest statements kept") << statements(0, 60) << u"s10"_s << QStringList{u"c"_s};
        QTest::newRow("the oldest statements gone") << statements(0, 60) << u"s9"_s << QStringList();
        QTest::newRow("a statement used again stays")
            << (statements(0, 30) + QList<QStringList>{{u"s0"_s, u"again"_s}} + statements(30, 70)) << u"s0"_s
            << QStringList{u"again"_s, u"c"_s};
    }

    void recentConditionsAreBounded()
    {
        QFETCH(QList<QStringList>, accepted);
        QFETCH(QString, statement);
        QFETCH(QStringList, expected);
        QString list;
        for (const QStringList &one : accepted) {
            list = condora::rememberCondition(list, one.at(0), one.at(1));
        }
        QCOMPARE(condora::recentConditionsOf(list, statement), expected);
        QVERIFY(QJsonDocument::fromJson(list.toUtf8()).array().size() <= condora::RecentStatementCount);
    }

    void init()
    {
        m_ui = std::make_unique<condora::RecordingUserInteraction>();
        m_db = std::make_unique<condora::test::SqliteFile>(condora::test::sampleSchema());
        m_dialog = DialogStandIn();
        m_dialog.install();
    }

    void cleanup()
    {
        condora::setQueryDialogFunction(nullptr);
        m_ui.reset();
        m_db.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // Query run --------------------------------------------------------------------------------

    void hostRunsQuery()
    {
        QWidget host;
        auto *control = new Condora(&host);
        control->setConnObj(m_db->open());
        control->setSqlInput(u"  select  CustomerID,  CompanyName, GenderID from Customers ; "_s);
        control->setTitle(u"Customers"_s);
        QCOMPARE(control->SetFilterCondition({QString(), QString(), QString(), u"GenderID<>3"_s}), QString());
        m_dialog.answer = customerSql + u" where CustomerID > 'AN'"_s;

        QCOMPARE(control->GetQuerySql(), m_dialog.answer);
        QCOMPARE(m_dialog.calls, 1);
        QCOMPARE(m_dialog.baseSqlSeen, u"select CustomerID, CompanyName, GenderID from Customers "_s);
        QCOMPARE(m_dialog.catalogSeen.size(), 4);
        QCOMPARE(m_dialog.catalogSeen.at(2).colName, u"CompanyName"_s);
        QCOMPARE(m_dialog.catalogSeen.at(3).filterClause, u" where GenderID<>3"_s);
        QVERIFY(m_ui->messages().isEmpty());

        auto result = control->GetQueryResult();
        QVERIFY(result);
        QCOMPARE(m_dialog.calls, 2);
        QCOMPARE(result->Fields().Count(), 3);
        QCOMPARE(result->Fields().Item(0).Value().toString(), u"ANATR"_s);
        QVERIFY(m_ui->messages().isEmpty());
        QCOMPARE(m_ui->pointerHistory(),
                 (QList<condora::MousePointer>{condora::MousePointer::Hourglass, condora::MousePointer::Default}));
    }

    void queryTypeOptions_data()
    {
        QTest::addColumn<int>("queryType");
        QTest::addColumn<int>("option");
        QTest::newRow("0") << 0 << -1;
        QTest::newRow("1: asynchronous") << 1 << 16;
        QTest::newRow("2") << 2 << -1;
        QTest::newRow("-1") << -1 << -1;
    }

    void queryTypeOptions()
    {
        QFETCH(int, queryType);
        QFETCH(int, option);
        auto control = newControl();
        control->ConnObj()->setCursorLocation(condora::ado::adUseClient);
        m_dialog.answer = customerSql;
        QVERIFY(control->GetQueryResult(queryType));
        QCOMPARE(control->ConnObj()->lastExecuteOptions(), option);
        QCOMPARE(control->ConnObj()->CursorLocation(), int(condora::ado::adUseClient));
    }

    void cancelExecutesNothing()
    {
        auto control = newControl();
        m_dialog.confirm = false;
        QCOMPARE(control->GetQuerySql(), QString());
        QVERIFY(!control->GetQueryResult(0));
        QCOMPARE(m_dialog.calls, 2);
        QCOMPARE(condora::ado::statementCount(*control->ConnObj()), 0);
        QVERIFY(m_ui->messages().isEmpty());
    }

    void earlyEndings_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("filters");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<bool>("inputMessage"); // exclamation icon, caption Title

        QTest::newRow("empty") << QString() << QStringList() << u"Please input SQL!"_s << true << true;
        QTest::newRow("spaces") << u"   "_s << QStringList() << u"Please input SQL!"_s << true << true;
        QTest::newRow("rejected") << u"select NoSuchColumn from Customers"_s << QStringList()
                                  << u"Illegal SQL expression!\r\nno such column: NoSuchColumn"_s << false << true;
        // A lone ";" passes the emptiness test and reaches the analysis as the empty text.
        QTest::newRow("semicolon") << u";"_s << QStringList() << u"Error message:\r\n"_s << false << false;
        QTest::newRow("analysis failure") << u"select 1"_s << QStringList() << u"Error message:\r\n"_s << false
                                          << false;
        QTest::newRow("filter failure") << customerSql << QStringList{QString(), u"NoSuchColumn = 1"_s}
                                        << u"No.1 filter condition is incorrect!\r\n"_s << false << false;
        // SQLite reads the WHERE as part of the comment, PostgreSQL as code: a condition could
        // land in the comment for one of them.
        QTest::newRow("comment ended by a lone CR")
            << u"select c.CustomerID from Customers c -- all\rwhere c.CustomerID > 1"_s << QStringList()
            << u"Illegal SQL expression!\r\nThe statement holds a line comment ended by a lone carriage return"_s << false
            << true;
    }

    void earlyEndings()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, filters);
        QFETCH(QString, message);
        QFETCH(bool, exact);
        QFETCH(bool, inputMessage);

        for (const bool sqlMethod : {true, false}) {
            auto control = newControl(sql);
            control->SetFilterCondition(filters);
            m_ui->clear();

            if (sqlMethod) {
                QCOMPARE(control->GetQuerySql(), QString());
            } else {
                QVERIFY(!control->GetQueryResult(0));
            }
            QCOMPARE(m_dialog.calls, 0);
            QCOMPARE(m_ui->messages().size(), 1);
            const condora::MessageRequest &box = m_ui->messages().first();
            if (exact) {
                QCOMPARE(box.text, message);
            } else {
                QVERIFY2(box.text.startsWith(message), qPrintable(box.text));
            }
            if (inputMessage) {
                QCOMPARE(box.icon, condora::MessageIcon::Exclamation);
                QVERIFY(box.explicitCaption);
                QCOMPARE(box.caption, u"Customers"_s);
            }
        }
    }

    void trailingSemicolons_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("baseSql");
        QTest::newRow("one") << u"select CustomerID from Customers;"_s << u"select CustomerID from Customers"_s;
        QTest::newRow("two") << u"select CustomerID from Customers;;"_s << u"select CustomerID from Customers;"_s;
        QTest::newRow("spaced") << u"select CustomerID from Customers ;  "_s << u"select CustomerID from Customers "_s;
    }

    void trailingSemicolons()
    {
        QFETCH(QString, sql);
        QFETCH(QString, baseSql);
        auto control = newControl(sql);
        control->GetQuerySql();
        // A base statement the database refuses ends the run at its first probe.
        if (m_dialog.calls == 0) {
            QCOMPARE(condora::ado::lastStatement(*control->ConnObj()), condora::probeSql(baseSql));
        } else {
            QCOMPARE(m_dialog.baseSqlSeen, baseSql);
        }
    }

    void filterListLifetime()
    {
        auto control = newControl(u"   "_s);
        const QStringList filters{QString(), QString(), QString(), u"GenderID<>3"_s, QString()};
        control->SetFilterCondition(filters);
        // Another control's filters and runs leave this control's alone.
        auto other = newControl();
        other->SetFilterCondition({QString(), u"CustomerID<>'X'"_s});
        other->GetQuerySql();
        QCOMPARE(m_dialog.filtersSeen, (QStringList{QString(), u" where CustomerID<>'X'"_s}));
        // A run that ends before its dialog keeps them.
        control->GetQuerySql();
        QCOMPARE(m_dialog.calls, 1);

        control->setSqlInput(customerSql);
        control->GetQuerySql();
        QCOMPARE(m_dialog.calls, 2);
        QCOMPARE(m_dialog.filtersSeen, (QStringList{QString(), QString(), QString(), u" where GenderID<>3"_s, QString()}));
        QCOMPARE(m_dialog.catalogSeen.value(3).filterClause, u" where GenderID<>3"_s);
        // The closed dialog consumed them; so does setting none.
        control->GetQuerySql();
        QCOMPARE(m_dialog.filtersSeen, QStringList{QString()});
        control->SetFilterCondition(filters);
        QCOMPARE(control->SetFilterCondition({}), QString());
        control->GetQuerySql();
        QCOMPARE(m_dialog.filtersSeen, QStringList{QString()});
    }

    void constructingLeavesTheMessageCaption()
    {
        condora::UserInteraction::setDefaultCaption(u"Host"_s);
        const auto resetCaption = qScopeGuard([] { condora::UserInteraction::setDefaultCaption(QString()); });
        auto control = newControl();
        QCOMPARE(condora::UserInteraction::defaultCaption(), u"Host"_s);
        control->SetFilterCondition({QString(), u"nonsense((("_s});
        control->GetQuerySql();
        QCOMPARE(m_ui->shownCaptions(), QStringList{u"Host"_s});
    }

    void withoutConnectionNoDialogOpens()
    {
        auto control = newControl();
        control->setConnObj(nullptr);
        QCOMPARE(control->GetQuerySql(), QString());
        QCOMPARE(m_dialog.calls, 0);
        QVERIFY(m_ui->texts().last().startsWith(u"Illegal SQL expression!\r\n"_s));
    }

    void unusableConnection_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("message");
        const QString notOpen = u"Illegal SQL expression!\r\nThe connection is not open."_s;
        QTest::newRow("none set (was an error report and then this message)") << u"none"_s << notOpen;
        QTest::newRow("never opened (was an error report and then this message)") << u"unopened"_s << notOpen;
        QTest::newRow("closed (was an error report and then this message)") << u"closed"_s << notOpen;
        QTest::newRow("locked file (was a wait of 5 s and \"database is locked\")")
            << u"locked"_s
            << u"Illegal SQL expression!\r\nThe database file is locked by another connection. Try again when it "
               u"is free."_s;
    }

    void unusableConnection()
    {
        QFETCH(QString, state);
        QFETCH(QString, message);
        auto control = newControl();
        QSqlDatabase locker;
        if (state == u"none") {
            control->setConnObj(nullptr);
        } else if (state == u"unopened") {
            control->setConnObj(std::make_shared<condora::ado::Connection>());
        } else if (state == u"closed") {
            control->ConnObj()->Close();
        } else {
            locker = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"locker"_s);
            locker.setDatabaseName(m_db->path());
            QVERIFY(locker.open());
            QVERIFY(QSqlQuery(u"BEGIN EXCLUSIVE"_s, locker).isActive());
        }
        QElapsedTimer clock;
        clock.start();
        for (const bool sqlMethod : {true, false}) {
            m_ui->clear();
            if (sqlMethod) {
                QCOMPARE(control->GetQuerySql(), QString());
            } else {
                QVERIFY(!control->GetQueryResult(0));
            }
            QCOMPARE(m_dialog.calls, 0);
            QCOMPARE(m_ui->texts(), QStringList{message});
            const condora::MessageRequest &box = m_ui->messages().first();
            QCOMPARE(box.icon, condora::MessageIcon::Exclamation);
            QVERIFY(box.explicitCaption);
            QCOMPARE(box.caption, u"Customers"_s);
        }
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        if (locker.isOpen()) {
            QSqlQuery(u"ROLLBACK"_s, locker);
            locker.close();
            locker = QSqlDatabase();
            // Once the lock is gone the run goes on.
            m_dialog.answer = customerSql;
            QCOMPARE(control->GetQuerySql(), customerSql);
        }
        QSqlDatabase::removeDatabase(u"locker"_s);
    }

    void enabledFalseLeavesMethodsWorking()
    {
        auto control = newControl();
        control->setEnabled(false);
        QVERIFY(!control->Enabled());
        QVERIFY(control->isEnabled());
        m_dialog.answer = customerSql;
        QCOMPARE(control->GetQuerySql(), customerSql);
        QVERIFY(control->GetQueryResult(0));
    }

    void resultErrorIsReported()
    {
        auto control = newControl();
        m_dialog.answer = u"select NoSuchColumn from Customers"_s;
        QVERIFY(!control->GetQueryResult(0));
        QCOMPARE(m_ui->messages().size(), 1);
        const condora::MessageRequest &box = m_ui->messages().first();
        const QStringList lines = box.text.split(u"\r\n"_s);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), u"Error message:"_s);
        QCOMPARE(lines.at(1), u" no such column: NoSuchColumn"_s);
        QCOMPARE(lines.at(2), u"Error number:%1"_s.arg(condora::ErrorNumber::Database));
        QCOMPARE(box.icon, condora::MessageIcon::None);
        QVERIFY(!box.explicitCaption);
        QCOMPARE(m_ui->mousePointer(), condora::MousePointer::Default);
    }

    void dialogFailureIsARunTimeError()
    {
        m_dialog.failure = condora::RuntimeError::objectNotSet(u"The query dialog is not available."_s);
        auto control = newControl();
        QVERIFY_THROWS_EXCEPTION(condora::RuntimeError, control->GetQuerySql());
        QVERIFY(m_ui->messages().isEmpty());

        QVERIFY(!control->GetQueryResult(0));
        QCOMPARE(m_ui->messages().size(), 1);
        QVERIFY(m_ui->messages().first().text.endsWith(u"Error number:91"_s));
    }

    // Members by name ----------------------------------------------------------------------------

    void membersByName()
    {
        auto control = newControl(QString());
        QVERIFY(control->setProperty("SqlInput", customerSql));
        QCOMPARE(control->SqlInput(), customerSql);
        QVERIFY(control->setProperty("GridBackColorSel", 0x0000FFu));
        QCOMPARE(control->GridBackColorSel(), OleColor(0x0000FF));
        QCOMPARE(control->property("GridBackColorSel").value<OleColor>(), OleColor(0x0000FF));

        m_dialog.answer = customerSql;
        QString sql;
        QVERIFY(QMetaObject::invokeMethod(control.get(), "GetQuerySql", Q_RETURN_ARG(QString, sql)));
        QCOMPARE(sql, customerSql);

        std::shared_ptr<condora::ado::Recordset> result;
        QVERIFY(QMetaObject::invokeMethod(control.get(), "GetQueryResult",
                                          Q_RETURN_ARG(std::shared_ptr<condora::ado::Recordset>, result),
                                          Q_ARG(int, 1)));
        QVERIFY(result);
        QCOMPARE(result.use_count(), 1);
        QCOMPARE(control->ConnObj()->lastExecuteOptions(), 16);
        QVERIFY(QMetaObject::invokeMethod(control.get(), "GetQueryResult",
                                          Q_RETURN_ARG(std::shared_ptr<condora::ado::Recordset>, result)));
        QCOMPARE(control->ConnObj()->lastExecuteOptions(), -1);

        QString empty = u"x"_s;
        const QStringList filters{QString(), u"x"_s};
        QVERIFY(QMetaObject::invokeMethod(control.get(), "SetFilterCondition", Q_RETURN_ARG(QString, empty),
                                          Q_ARG(QStringList, filters)));
        QCOMPARE(empty, QString());
        const int calls = m_dialog.calls;
        control->GetQuerySql();
        QCOMPARE(m_dialog.calls, calls);
        QVERIFY(m_ui->texts().constLast().startsWith(u"No.1 filter condition is incorrect!"_s));
    }

    void everySetterNotifies()
    {
        const QStringList names = ownPropertyNames();
        QCOMPARE(names.size(), 33);
        Condora control;
        QSignalSpy changed(&control, &Condora::propertyChanged);
        for (const QString &name : names) {
            const QMetaProperty property = control.metaObject()->property(
                control.metaObject()->indexOfProperty(name.toLatin1().constData()));
            QVERIFY(property.hasNotifySignal());
            QCOMPARE(QString::fromLatin1(property.notifySignal().name()), name + u"Changed"_s);
            QSignalSpy own(&control, property.notifySignal());
            // Setting the same value again still notifies the container.
            QVERIFY2(property.write(&control, property.read(&control)), qPrintable(name));
            QCOMPARE(own.count(), 1);
            QCOMPARE(changed.takeFirst().at(0).toString(), name);
        }
    }

    void declaredInterface()
    {
        const QMetaObject &mo = Condora::staticMetaObject;
        for (const char *signal :
             {"Click()", "DblClick()", "KeyDown(qint16,qint16)", "KeyPress(qint16)", "KeyUp(qint16,qint16)",
              "MouseDown(qint16,qint16,float,float)", "MouseMove(qint16,qint16,float,float)",
              "MouseUp(qint16,qint16,float,float)"}) {
            QVERIFY2(mo.indexOfSignal(signal) >= 0, signal);
        }
        const QMetaEnum kinds = mo.enumerator(mo.indexOfEnumerator("DataBaseEnum"));
        QCOMPARE(kinds.keyCount(), 3);
        QCOMPARE(kinds.keyToValue("Oracle"), 1);
        QCOMPARE(kinds.keyToValue("SqlServer"), 2);
        QCOMPARE(kinds.keyToValue("Access"), 3);
        for (const char *method : {"GetQuerySql()", "GetQueryResult(int)", "GetQueryResult()",
                                   "SetFilterCondition(QStringList)", "ShowAboutBox()"}) {
            QVERIFY2(mo.indexOfMethod(method) >= 0, method);
        }
    }

    // Properties and persistence -------------------------------------------------------------------

    void initialProperties()
    {
        QWidget host;
        QFont ambient(u"Serif"_s, 17);
        host.setFont(ambient);
        auto *control = new Condora(&host);
        const condora::FontHandle fonts[] = {control->ButtonFont(), control->LabelFont(), control->GridFont(),
                                             control->GridFontFixed()};
        for (const auto &font : fonts) {
            QVERIFY(font);
            QCOMPARE(*font, ambient);
        }
        QVERIFY(fonts[0] != fonts[1] && fonts[2] != fonts[3]); // each its own object
        QVERIFY(control->FormPicture() && control->FormPicture()->isNull());
        QVERIFY(control->ButtonPicture() && control->ButtonPicture()->isNull());
        QVERIFY(!control->ConnObj());
        QVERIFY(!control->Enabled());
    }

    void saveImmediatelyStoresOnlyButtonFont()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(u"form.ini"_s), QSettings::IniFormat);
        condora::SettingsPropertyBag bag(settings, u"Condora1"_s);
        Condora control;
        control.writeProperties(bag);
        QCOMPARE(settings.allKeys(), QStringList{u"Condora1/ButtonFont"_s});
    }

    void saveAndLoadRoundTrip()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"form.ini"_s);
        QPixmap picture(4, 4);
        picture.fill(Qt::red);
        {
            QSettings settings(file, QSettings::IniFormat);
            condora::SettingsPropertyBag bag(settings);
            Condora control;
            control.setEnabled(true);
            control.setTitle(u"Orders"_s);
            control.setSqlInput(u"select a, b from t"_s);
            control.setShowSql(true);
            control.setDateEditor(true);
            control.setRecentConditions(true);
            control.setLiveCount(true);
            control.setGridBackColorSel(OleColor(0x00FF00));
            control.setGridColorFixed(OleColor(0x123456));
            control.setLabelFont(std::make_shared<QFont>(u"Serif"_s, 21));
            control.setFormPicture(std::make_shared<QPixmap>(picture));
            control.writeProperties(bag);
            // Back to a default: the earlier entry goes.
            control.setGridColorFixed(OleColor(0xC0C0C0));
            control.writeProperties(bag);
            QVERIFY(!settings.contains(u"GridColorFixed"_s));
        }
        QSettings settings(file, QSettings::IniFormat);
        condora::SettingsPropertyBag bag(settings);
        Condora loaded;
        loaded.readProperties(bag);
        QVERIFY(loaded.Enabled());
        QCOMPARE(loaded.Title(), u"Orders"_s);
        QCOMPARE(loaded.SqlInput(), u"select a, b from t"_s);
        QVERIFY(loaded.ShowSql());
        QVERIFY(loaded.DateEditor());
        QVERIFY(loaded.RecentConditions());
        QVERIFY(loaded.LiveCount());
        QCOMPARE(loaded.GridBackColorSel(), OleColor(0x00FF00));
        QCOMPARE(loaded.GridColorFixed(), OleColor(0xC0C0C0));
        QCOMPARE(loaded.LabelFont()->pointSize(), 21);
        QVERIFY(loaded.FormPicture());
        QCOMPARE(loaded.FormPicture()->toImage().pixelColor(1, 1), QColor(Qt::red));
        QVERIFY(!loaded.ButtonPicture()); // missing picture: no picture object
    }

    void missingKeysLoadDefaults_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("expected");
        const QList<std::pair<const char *, quint32>> colors = {
            {"LabelBackColor", 0x8000000F},   {"LabelForeColor", 0x80000012},   {"GridColor", 0x80000012},
            {"GridColorFixed", 0xC0C0C0},     {"GridColorUnpopulated", 0xC0C0C0}, {"GridForeColor", 0x80000008},
            {"GridForeColorFixed", 0x80000012}, {"FormBackColor", 0x8000000F},  {"ButtonBackColor", 0x8000000F},
            {"GridForeColorSel", 0x8000000E}, {"GridBackColor", 0x80000005},    {"GridBackColorBkg", 0x8000000F},
            {"GridBackColorFixed", 0x8000000F}, {"GridBackColorSel", 0x8000000D},
            {"GridBackColorUnpopulated", 0x8000000F},
        };
        for (const auto &[name, value] : colors) {
            QTest::newRow(name) << QString::fromLatin1(name) << QVariant::fromValue(OleColor(value));
        }
        QTest::newRow("Enabled") << u"Enabled"_s << QVariant(false);
        QTest::newRow("Title") << u"Title"_s << QVariant(QString());
        QTest::newRow("SqlInput") << u"SqlInput"_s << QVariant(QString());
        QTest::newRow("ShowSql") << u"ShowSql"_s << QVariant(false);
        QTest::newRow("MoreOperators") << u"MoreOperators"_s << QVariant(false);
        QTest::newRow("DateEditor") << u"DateEditor"_s << QVariant(false);
        QTest::newRow("RecentConditions") << u"RecentConditions"_s << QVariant(false);
        QTest::newRow("LiveCount") << u"LiveCount"_s << QVariant(false);
        QTest::newRow("FastValueLists") << u"FastValueLists"_s << QVariant(false);
    }

    void missingKeysLoadDefaults()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, expected);
        QTemporaryDir dir;
        QSettings settings(dir.filePath(u"form.ini"_s), QSettings::IniFormat);
        settings.setValue(u"Other"_s, 1);
        condora::SettingsPropertyBag bag(settings);

        Condora control;
        // Something else than the default first, so the load must really set it.
        const QByteArray key = name.toLatin1();
        if (expected.metaType() == QMetaType::fromType<OleColor>()) {
            control.setProperty(key, QVariant::fromValue(OleColor(0x010203)));
        } else if (expected.typeId() == QMetaType::Bool) {
            control.setProperty(key, true);
        } else {
            control.setProperty(key, u"changed"_s);
        }
        control.readProperties(bag);
        QCOMPARE(control.property(key), expected);
    }

    void missingFontsLoadTheAmbientFont()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(u"form.ini"_s), QSettings::IniFormat);
        condora::SettingsPropertyBag bag(settings);
        QWidget host;
        host.setFont(QFont(u"Serif"_s, 13));
        auto *control = new Condora(&host);
        host.setFont(QFont(u"Serif"_s, 15)); // the ambient font as it is at load time
        control->readProperties(bag);
        QCOMPARE(control->ButtonFont()->pointSize(), 15);
        QCOMPARE(control->GridFontFixed()->pointSize(), 15);
        QVERIFY(!control->FormPicture());
    }

    void unreadableValueStopsTheLoad_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("colour") << u"GridColor"_s << QVariant(u"blue"_s);
        QTest::newRow("boolean") << u"Enabled"_s << QVariant(u"perhaps"_s);
        QTest::newRow("picture") << u"FormPicture"_s << QVariant(QByteArray("not an image"));
    }

    void unreadableValueStopsTheLoad()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QTemporaryDir dir;
        QSettings settings(dir.filePath(u"form.ini"_s), QSettings::IniFormat);
        settings.setValue(name, value);
        condora::SettingsPropertyBag bag(settings);
        Condora control;
        try {
            control.readProperties(bag);
            QFAIL("the load went through");
        } catch (const condora::RuntimeError &error) {
            QCOMPARE(error.number(), condora::ErrorNumber::TypeMismatch);
        }
        // The form without exceptions tells the same as a value.
        bool ok = true;
        control.readProperties(bag, &ok);
        QVERIFY(!ok);
        QCOMPARE(control.lastError().nativeErrorCode(), QString::number(condora::ErrorNumber::TypeMismatch));
    }

    void fontsAreSharedReferences()
    {
        auto control = newControl();
        auto font = std::make_shared<QFont>(u"Serif"_s, 10);
        control->setGridFont(font);
        font->setPointSize(30);
        QCOMPARE(control->GridFont()->pointSize(), 30);
        control->GetQuerySql();
        QCOMPARE(m_dialog.styleSeen.GridFont, font);
    }

    // Appearance --------------------------------------------------------------------------------

    void eachControlStylesItsOwnRun()
    {
        auto first = newControl();
        auto second = newControl();
        first->setFormBackColor(OleColor(0x0000FF));
        first->setGridBackColorSel(OleColor(0x000001));
        second->setFormBackColor(OleColor(0xFF0000));

        first->GetQuerySql();
        QCOMPARE(m_dialog.styleSeen.FormBackColor, OleColor(0x0000FF));
        QCOMPARE(m_dialog.styleSeen.GridBackColorSel, OleColor(0x000001));
        QCOMPARE(m_dialog.styleSeen.ButtonFont, first->ButtonFont());
        second->GetQuerySql();
        QCOMPARE(m_dialog.styleSeen.FormBackColor, OleColor(0xFF0000));
        QCOMPARE(m_dialog.styleSeen.GridBackColorSel, OleColor(0x8000000D));
        QCOMPARE(m_dialog.styleSeen.ButtonFont, second->ButtonFont());

        // A run that ends before its dialog hands no style on.
        first->setSqlInput(QString());
        m_dialog.styleSeen = condora::DialogStyle();
        first->GetQuerySql();
        QCOMPARE(m_dialog.styleSeen.FormBackColor, OleColor());
    }

    void applyStyleByExactClassName()
    {
        QDialog form;
        auto *button = new QPushButton(u"OK"_s, &form);
        auto *label = new QLabel(u"Column"_s, &form);
        auto *labelEx = new QLabelEx(u"Other"_s, &form);
        auto *edit = new QLineEdit(&form);
        auto *grid = new condora::FlexGrid(&form);
        const QColor editBase = edit->palette().color(QPalette::Base);
        const QFont labelExFont = labelEx->font();

        condora::DialogStyle style;
        style.FormBackColor = OleColor(0x102030);
        style.ButtonBackColor = OleColor(0x0000FF);
        style.ButtonFont = std::make_shared<QFont>(u"Serif"_s, 19);
        style.LabelBackColor = OleColor(0x00FF00);
        style.LabelForeColor = OleColor::Highlight;
        style.LabelFont = std::make_shared<QFont>(u"Serif"_s, 23);
        style.GridFont = std::make_shared<QFont>(u"Serif"_s, 11);
        style.GridBackColor = OleColor::WindowBackground;
        style.GridBackColorSel = OleColor(0x445566);
        style.GridColorFixed = OleColor(0xC0C0C0);
        condora::applyStyle(&form, style);

        QVERIFY(m_ui->messages().isEmpty());
        QCOMPARE(form.palette().color(QPalette::Window), QColor(0x30, 0x20, 0x10));
        QCOMPARE(button->palette().color(QPalette::Button), QColor(Qt::red));
        QCOMPARE(button->font().pointSize(), 19);
        QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::green));
        QCOMPARE(label->palette().color(QPalette::WindowText), QApplication::palette().color(QPalette::Highlight));
        QCOMPARE(label->font().pointSize(), 23);
        QCOMPARE(labelEx->font(), labelExFont);
        QCOMPARE(edit->palette().color(QPalette::Base), editBase);
        QCOMPARE(grid->Font().pointSize(), 11);
        QCOMPARE(grid->BackColor(), OleColor(OleColor::WindowBackground));
        QCOMPARE(grid->BackColorSel(), OleColor(0x445566));
        QCOMPARE(grid->GridColorFixed(), OleColor(0xC0C0C0));
    }

    void defaultsUseSystemColours()
    {
        auto control = newControl();
        control->GetQuerySql();
        QDialog form;
        auto *label = new QLabel(u"Column"_s, &form);
        auto *grid = new condora::FlexGrid(&form);
        condora::applyStyle(&form, m_dialog.styleSeen);
        const QPalette system = QApplication::palette();
        QCOMPARE(form.palette().color(QPalette::Window), system.color(QPalette::Button));
        QCOMPARE(label->palette().color(QPalette::Window), system.color(QPalette::Button));
        QCOMPARE(label->palette().color(QPalette::WindowText), system.color(QPalette::ButtonText));
        QCOMPARE(grid->BackColor().toColor(), system.color(QPalette::Base));
        QCOMPARE(grid->BackColorSel().toColor(), system.color(QPalette::Highlight));
        QCOMPARE(grid->ForeColorSel().toColor(), system.color(QPalette::HighlightedText));
        QCOMPARE(grid->GridColorFixed().toColor(), QColor(192, 192, 192));
        QCOMPARE(grid->GridColorUnpopulated().toColor(), QColor(192, 192, 192));
    }

    void formPicture()
    {
        QDialog form;
        form.resize(40, 40);
        condora::DialogStyle style;
        style.FormBackColor = OleColor(0x00FF00);
        condora::applyStyle(&form, style);
        QCOMPARE(form.grab().toImage().pixelColor(1, 1), QColor(Qt::green));

        auto picture = std::make_shared<QPixmap>(8, 8);
        picture->fill(Qt::red);
        style.FormPicture = picture;
        condora::applyStyle(&form, style);
        const QImage shown = form.grab().toImage();
        QCOMPARE(shown.pixelColor(1, 1), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(20, 20), QColor(Qt::green));
    }

    // The control on its window --------------------------------------------------------------------

    void fixedSizeAndPicture()
    {
        QWidget host;
        auto *control = new Condora(&host);
        QCOMPARE(control->size(), QSize(31, 32)); // 465 x 480 twips
        control->resize(300, 200);
        QCOMPARE(control->size(), QSize(31, 32));
        control->setGeometry(5, 5, 10, 10);
        QCOMPARE(control->size(), QSize(31, 32));

        const QImage picture = control->grab().toImage();
        QCOMPARE(picture.pixelColor(12, 4), QColor(64, 64, 64)); // the lens rim
        QCOMPARE(picture.pixelColor(25, 25), QColor(64, 64, 64)); // the handle
    }

    void aboutBoxIsFreshEachTime()
    {
        Condora control;
        QStringList seen;
        for (int i = 0; i < 2; ++i) {
            QTimer closer;
            closer.setInterval(10);
            QObject::connect(&closer, &QTimer::timeout, &closer, [&] {
                if (QWidget *about = QApplication::activeModalWidget()) {
                    seen << about->windowTitle();
                    const auto labels = about->findChildren<QLabel *>();
                    seen << (labels.isEmpty() ? QString() : labels.first()->text());
                    about->close();
                }
            });
            closer.start();
            QTimer::singleShot(5000, &closer, [] {
                if (QWidget *stuck = QApplication::activeModalWidget()) {
                    stuck->close();
                }
            });
            control.ShowAboutBox();
        }
        QCOMPARE(seen, (QStringList{u"About"_s, u"Condora ActiveX"_s, u"About"_s, u"Condora ActiveX"_s}));
        // Each window went when it closed.
        QCOMPARE(QApplication::topLevelWidgets(), QWidgetList{&control});
    }
};

CONDORA_TEST_MAIN(TestControl)
#include "tst_control.moc"
