#include "conditiontestdata.h"

#include "analysis/queryrun.h"
#include "condition/conditioncomposer.h"
#include "condition/conditionjson.h"
#include "condition/conditionmodel.h"
#include "condition/conditionoperator.h"
#include "condition/conditionvalidator.h"
#include "platform/ado/connection.h"
#include "support/testdatabases.h"

#include <QAbstractItemModelTester>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

/// Runs `script` on `model`, steps separated by ";": "+" appends a row, "+N" inserts one at N,
/// "-N" removes row N, "N>M" moves row N to M, "N(k" / "N)k" set k brackets, and "N.c=position",
/// "N.o=operator word", "N.v=value", "N.l=and|or|" set the column, operator, value and logical
/// word of row N.
void play(ConditionModel &model, const QString &script)
{
    for (const QString &step : script.split(u';', Qt::SkipEmptyParts)) {
        if (step.startsWith(u'+')) {
            step.size() == 1 ? model.appendTerm() : model.insertTerm(step.mid(1).toInt());
        } else if (step.startsWith(u'-')) {
            model.removeTerm(step.mid(1).toInt());
        } else if (step.contains(u'>') && !step.contains(u'.')) {
            model.moveTerm(step.section(u'>', 0, 0).toInt(), step.section(u'>', 1).toInt());
        } else if (step.contains(u'(') || step.contains(u')')) {
            const bool open = step.contains(u'(');
            const QStringList parts = step.split(open ? u'(' : u')');
            open ? model.setOpenBrackets(parts.at(0).toInt(), parts.at(1).toInt())
                 : model.setCloseBrackets(parts.at(0).toInt(), parts.at(1).toInt());
        } else {
            const int row = step.section(u'.', 0, 0).toInt();
            const QChar part = step.at(step.indexOf(u'.') + 1);
            const QString value = step.mid(step.indexOf(u'=') + 1);
            if (part == u'c') {
                model.setColumn(row, value.toInt());
            } else if (part == u'o') {
                model.setOperator(row, operatorOfCell(value));
            } else if (part == u'v') {
                model.setValue(row, value);
            } else {
                model.setLogical(row, logicalWordOf(value).value_or(LogicalWord::None));
            }
        }
    }
}

/// A row of cells from "open|column|operator|value|close|logical|colIndex".
ConditionRow cells(const QString &text)
{
    const QStringList c = text.split(u'|');
    ConditionRow row;
    for (int i = 0; i < ConditionCol::Count; ++i) {
        row.setCell(i, c.value(i));
    }
    return row;
}

QList<int> ids(const ado::Connection &connection, const QString &sql)
{
    QSqlQuery query(connection.database());
    if (!query.exec(sql)) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        return {-1};
    }
    QList<int> found;
    while (query.next()) {
        found.append(query.value(0).toInt());
    }
    return found;
}

} // namespace

namespace condora {
/// A failing compare prints the row's cells.
char *toString(const ConditionRow &row)
{
    QStringList texts;
    for (int c = 0; c < ConditionCol::Count; ++c) {
        texts.append(row.cell(c));
    }
    return QTest::toString(texts.join(u'|'));
}
} // namespace condora

class TestConditionModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameAsRowsOfCells_data();
    void sameAsRowsOfCells();
};

void TestConditionModel::sameAsRowsOfCells_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("rows");  // the cells the lists write for the same choices
    QTest::addColumn<QString>("oracle");    // the test's own WHERE for the same rows; empty: refused

    QTest::newRow("brackets, include, And and Or")
        << u"+;0.c=2;0.o=include;0.v=Smi;0(1;0.l=or;+;1.c=3;1.o=>=;1.v=20;1)1;1.l=and;+;2.c=5;2.o=true"_s
        << QStringList{u"(|name|include |Smi|| Or|2"_s, u"|n|>= |20|)| And |3"_s, u"|b|true ||||5"_s}
        << u"(name like '%Smi%' or n >= 20) and b = 1"_s;
    QTest::newRow("row inserted before the first")
        << u"+;0.c=2;0.o==;0.v=Jones;+0;0.c=3;0.o=<;0.v=15;0.l=or"_s
        << QStringList{u"|n|< |15|| Or|3"_s, u"|name|= |Jones|||2"_s} << u"n < 15 or name = 'Jones'"_s;
    QTest::newRow("removed row leaves no trace")
        << u"+;0.c=1;0.o=>;0.v=1;0.l=and;+;1.c=2;1.o=null;1.l=and;+;2.c=4;2.o==;2.v=2001-01-05;-1"_s
        << QStringList{u"|id|> |1|| And |1"_s, u"|d|= |2001-01-05|||4"_s} << u"id > 1 and d = '2001-01-05'"_s;
    QTest::newRow("moved row keeps its cells")
        << u"+;0.c=1;0.o=<;0.v=4;0.l=and;+;1.c=5;1.o=false;1.l=and;1>0"_s
        << QStringList{u"|b|false ||| And |5"_s, u"|id|< |4|| And |1"_s} << u"b = 0 and id < 4"_s;
    QTest::newRow("rows without column or operator left out")
        << u"+;0.c=2;0.l=or;+;1.c=3;1.o=not null;+"_s
        << QStringList{u"|name|||| Or|2"_s, u"|n|not null ||||3"_s, u"||||||"_s} << u"n is not null"_s;
    QTest::newRow("apostrophe in the value")
        << u"+;0.c=2;0.o==;0.v=O'Brien"_s << QStringList{u"|name|= |O'Brien|||2"_s} << u"name = 'O''Brien'"_s;
    QTest::newRow("bracket never closed refused")
        << u"+;0.c=1;0.o==;0.v=1;0(1"_s << QStringList{u"(|id|= |1|||1"_s} << QString();
    QTest::newRow("doubled bracket refused")
        << u"+;0.c=1;0.o=<>;0.v=1;0(2;0)2"_s << QStringList{u"((|id|<> |1|))||1"_s} << QString();
    QTest::newRow("number that is no number refused")
        << u"+;0.c=3;0.o==;0.v=1 or 1=1"_s << QStringList{u"|n|= |1 or 1=1|||3"_s} << QString();
}

void TestConditionModel::sameAsRowsOfCells()
{
    QFETCH(QString, script);
    QFETCH(QStringList, rows);
    QFETCH(QString, oracle);

    const test::SqliteFile file({u"create table t (id integer, name varchar(20), n numeric, d date, b boolean)"_s,
                                 u"insert into t values (1, 'Smith', 10, '2001-01-05', 1), (2, 'Jones', 20, "
                                 u"'2002-03-01', 0), (3, 'Smithers', 30, '2003-07-15', 1), (4, 'O''Brien', null, "
                                 u"'2001-01-05', 0), (5, null, 5, null, 1)"_s});
    QueryRun run;
    run.connection = file.open();
    run.product = DbProduct::Sqlite;
    run.baseSql = u"select x.id, x.name, x.n, x.d, x.b from t x order by x.id"_s;
    run.fieldCatalog = test::catalogOf({test::catalogColumn(u"x"_s, u"id"_s, u"number"_s),
                                        test::catalogColumn(u"x"_s, u"name"_s, u"string"_s),
                                        test::catalogColumn(u"x"_s, u"n"_s, u"number"_s),
                                        test::catalogColumn(u"x"_s, u"d"_s, u"date"_s),
                                        test::catalogColumn(u"x"_s, u"b"_s, u"boolean"_s)});

    ConditionModel model(run.fieldCatalog);
    const QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    play(model, script);
    ConditionRows written;
    for (const QString &row : rows) {
        written.append(cells(row));
    }
    const ConditionRows rendered = rowsOf(model.terms(), run.fieldCatalog);
    QCOMPARE(rendered.size(), written.size());
    for (int r = 0; r < rendered.size(); ++r) {
        QCOMPARE(rendered.at(r), written.at(r));
    }

    // Typed rows compose, bind, check and store exactly as their rows of cells do.
    const ComposedCondition fromCells = composeCondition(written, run);
    const ComposedCondition typed = composeCondition(model.terms(), run);
    QCOMPARE(typed.statement, fromCells.statement);
    QCOMPARE(typed.condition, fromCells.condition);
    QCOMPARE(typed.refusal, fromCells.refusal);
    // What the grid shows is what it showed once the composer had trimmed its cells.
    QCOMPARE(model.displayRows(), fromCells.rows);
    for (int r = 0; r < model.rowCount(); ++r) {
        for (int c = 0; c < ConditionCol::Count; ++c) {
            QCOMPARE(model.index(r, c).data().toString(), fromCells.rows.at(r).cell(c));
        }
    }
    const ComposedCondition boundCells = composeParameterized(written, run);
    const ComposedCondition bound = composeParameterized(model.terms(), run);
    QCOMPARE(bound.statement, boundCells.statement);
    QCOMPARE(bound.parameters, boundCells.parameters);
    QCOMPARE(validateConditions(model.terms(), run), validateConditions(written, run));
    const QString json = conditionRowsToJson(model.terms(), run.fieldCatalog);
    QCOMPARE(json, conditionRowsToJson(written, run.fieldCatalog));
    ConditionTerms used;
    for (const ConditionTerm &term : model.terms()) {
        if (term.isUsed()) {
            used.append(term);
        }
    }
    if (isConditionJson(json)) { // a document takes one bracket per side
        QCOMPARE(conditionRowsFromJson(json, run.fieldCatalog).terms, used);
    }

    QCOMPARE(oracle.isEmpty(), !typed.refusal.isEmpty() || validateConditions(model.terms(), run).has_value());
    if (!oracle.isEmpty()) {
        QCOMPARE(ids(*run.connection, typed.statement),
                 ids(*run.connection, u"select id from t where "_s + oracle + u" order by id"_s));
    }
}

int runConditionModelTests(int argc, char **argv)
{
    TestConditionModel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_conditionmodel.moc"
