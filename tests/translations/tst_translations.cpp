// The German translation as a host uses it: loaded from the library's embedded resource, then
// a query run whose dialog and messages read in German. Links only the shared library.

#include "support/testmain.h"

#include "control/condora.h"
#include "platform/ado/connection.h"
#include "platform/userinteraction.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

using namespace Qt::StringLiterals;

class TestTranslations : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QTranslator m_german;
    std::shared_ptr<condora::ado::Connection> m_connection;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_german.load(QLocale(QLocale::German, QLocale::Germany), u"condora"_s, u"_"_s,
                              u":/condora/translations"_s));
        QVERIFY(QCoreApplication::installTranslator(&m_german));
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"translations"_s);
        db.setDatabaseName(m_dir.filePath(u"t.db"_s));
        QVERIFY(db.open());
        QSqlQuery(db).exec(u"create table emp (id integer, name varchar(40))"_s);
        m_connection = condora::ado::Connection::fromDatabase(db);
    }

    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void cleanupTestCase()
    {
        m_connection.reset();
        QSqlDatabase::removeDatabase(u"translations"_s);
    }

    void dialogAndMessagesInGerman()
    {
        condora::RecordingUserInteraction ui;
        Condora control;
        control.setConnObj(m_connection);
        control.setSqlInput(u"select e.id, e.name from emp e"_s);
        QString title;
        QStringList captions;
        QStringList asked;
        auto *poll = new QTimer(&control);
        connect(poll, &QTimer::timeout, &control, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != u"frmCondora"_s || !dialog->isVisible()) {
                return;
            }
            poll->stop();
            title = dialog->windowTitle();
            for (const char *name : {"cmdAdd", "cmdDel", "cmdVerify", "cmdOK", "cmdCancel"}) {
                captions << dialog->findChild<QPushButton *>(QString::fromLatin1(name))->text();
            }
            captions << dialog->findChild<QLabel *>(u"Label1"_s)->text();
            ui.queueAnswer(condora::MessageAnswer::Cancel);
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdDel"_s), Qt::LeftButton);
            asked = ui.texts();
            QTest::mouseClick(dialog->findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
        });
        poll->start(0);
        // A failure inside the dialog must not leave the run waiting.
        QTimer::singleShot(20000, &control, [] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                dialog->reject();
            }
        });
        QCOMPARE(control.GetQuerySql(), QString());
        QCOMPARE(title, u"ABFRAGE"_s);
        QCOMPARE(captions, (QStringList{u"&Hinzufügen"_s, u"&Löschen"_s, u"&Prüfen"_s, u"&OK"_s, u"Abbre&chen"_s,
                                        u"Abfragebedingung:"_s}));
        QCOMPARE(asked, QStringList{u"Soll die Zeile wirklich gelöscht werden?"_s});

        // A message of the run itself, before any dialog.
        ui.clear();
        control.setSqlInput(QString());
        QCOMPARE(control.GetQuerySql(), QString());
        QCOMPARE(ui.texts(), QStringList{u"Bitte geben Sie eine SQL-Anweisung ein!"_s});
    }
};

CONDORA_TEST_MAIN(TestTranslations)

#include "tst_translations.moc"
