// condora::QueryModel over rows that arrive in parts: what views, proxies and mappers rely on,
// and how an end with an error is told.

#include "support/testmain.h"

#include "control/querymodel.h"
#include "platform/runtimeerror.h"

#include <QAbstractItemModelTester>
#include <QSortFilterProxyModel>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace {

/// Rows id and name that arrive as they are fetched; with
/// `failAt` the fetch stops there with a database message, with `throwAt` it throws.
class PartRows : public condora::ado::RowSource
{
public:
    PartRows(int total, int failAt, int throwAt)
        : m_total(total)
        , m_failAt(failAt)
        , m_throwAt(throwAt)
    {
    }
    int columnCount() const override { return 2; }
    QString columnName(int column) const override { return column == 0 ? u"id"_s : u"name"_s; }
    int fetchedCount() const override { return m_fetched; }
    bool atEnd() const override { return m_fetched == m_total || !m_error.isEmpty(); }
    int fetchMore(int count) override
    {
        const int before = m_fetched;
        m_fetched = std::min(m_total, m_fetched + count);
        if (m_throwAt >= 0 && m_fetched > m_throwAt) {
            m_fetched = m_throwAt;
            throw condora::RuntimeError(condora::ErrorNumber::Cancelled, u"stopped"_s);
        }
        if (m_failAt >= 0 && m_fetched > m_failAt) {
            m_fetched = m_failAt;
            m_error = u"division by zero"_s;
        }
        return m_fetched - before;
    }
    QVariant value(int row, int column) const override
    {
        return row < 0 || row >= m_fetched ? QVariant() : column == 0 ? QVariant(row + 1) : QVariant(u"n%1"_s.arg(row));
    }
    QString text(int row, int column) const override { return value(row, column).toString(); }
    QString fetchError() const override { return m_error; }

private:
    int m_total;
    int m_failAt;
    int m_throwAt;
    int m_fetched = 0;
    QString m_error;
};

} // namespace

class TestQueryModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fetchesToTheEnd_data();
    void fetchesToTheEnd();
};

void TestQueryModel::fetchesToTheEnd_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("failAt");
    QTest::addColumn<int>("throwAt");
    QTest::addColumn<int>("rowsShown");
    QTest::addColumn<QString>("error");
    QTest::newRow("no rows") << 0 << -1 << -1 << 0 << QString();
    QTest::newRow("rows over several fetches") << 1000 << -1 << -1 << 1000 << QString();
    QTest::newRow("failure part-way keeps the rows before it and tells why")
        << 1000 << 600 << -1 << 600 << u"division by zero"_s;
    QTest::newRow("a fetch that throws leaves no exception, the error stays") << 1000 << -1 << 300 << 300
                                                                               << u"stopped"_s;
}

void TestQueryModel::fetchesToTheEnd()
{
    QFETCH(int, total);
    QFETCH(int, failAt);
    QFETCH(int, throwAt);
    QFETCH(int, rowsShown);
    QFETCH(QString, error);
    condora::QueryModel model;
    model.setRowSource(std::make_shared<PartRows>(total, failAt, throwAt), u"select id, name from t"_s);
    // Attached after the reset: Qt 6.4's tester fetches from its own modelReset slot before it
    // counts the reset as done.
    // The failure is told once, after the rows before it are in (the tester fetches too).
    QList<int> rowsWhenTold;
    connect(&model, &condora::QueryModel::fetchFailed, this, [&](const QSqlError &told) {
        QCOMPARE(told.databaseText(), model.lastError().databaseText());
        rowsWhenTold << model.rowCount();
    });
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // A proxy and a view that ask for more rows from their own slots, as they do while scrolling.
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    QTableView view;
    view.setModel(&proxy);
    view.show();
    for (int step = 0; step < 100 && model.canFetchMore(); ++step) {
        view.scrollToBottom();
        model.fetchMore();
    }
    QVERIFY(!model.canFetchMore());
    QCOMPARE(model.rowCount(), rowsShown);
    QCOMPARE(proxy.rowCount(), rowsShown);
    QCOMPARE(model.lastError().databaseText(), error);
    QCOMPARE(model.lastError().isValid(), !error.isEmpty());
    QCOMPARE(rowsWhenTold, error.isEmpty() ? QList<int>() : QList<int>{rowsShown});
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), u"name"_s);
}

CONDORA_TEST_MAIN(TestQueryModel)

#include "tst_querymodel.moc"
