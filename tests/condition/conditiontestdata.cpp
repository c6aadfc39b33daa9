#include "conditiontestdata.h"


using namespace Qt::StringLiterals;

namespace condora::test {

ColumnInfo catalogColumn(const QString &tabAlias, const QString &colExpr, const QString &typeClass)
{
    ColumnInfo info;
    info.tabAlias = tabAlias;
    info.colExpr = colExpr;
    info.colName = colExpr;
    info.typeClass = typeClassFromText(typeClass);
    return info;
}

FieldCatalog catalogOf(const QList<ColumnInfo> &columns)
{
    FieldCatalog catalog{ColumnInfo()};
    catalog.append(columns);
    return catalog;
}

namespace {

const QStringList kinds{u"1"_s, u"2"_s, u"3"_s, u"99"_s};
const QStringList comparisons{u"> "_s, u">= "_s, u"= "_s, u"<> "_s, u"<= "_s, u"< "_s};

/// Expected texts by kind: Oracle, SQL Server, Access/Jet, other.
struct ByKind
{
    QString oracle;
    QString sqlServer;
    QString jet;
    QString other;

    QString forKind(const QString &kind) const
    {
        return kind == "1"_L1 ? oracle : kind == "2"_L1 ? sqlServer : kind == "3"_L1 ? jet : other;
    }
};

ByKind same(const QString &text)
{
    return {text, text, text, text};
}

void add(QList<SingleRowCase> &cases, const QString &label, const QString &typeClass, const QString &op,
         const QString &value, const ByKind &expected)
{
    const QString trimmedOp = op.trimmed();
    for (const QString &kind : kinds) {
        QString text = expected.forKind(kind);
        text.replace(u"{op}"_s, trimmedOp);
        cases.append({label + u' ' + trimmedOp + u" kind "_s + kind, typeClass, op, kind, value, text});
    }
}

} // namespace

QList<SingleRowCase> singleRowCases()
{
    QList<SingleRowCase> cases;
    for (const QString &op : comparisons) {
        add(cases, u"number"_s, u"number"_s, op, u"42"_s, same(u"{Q} {op} 42"_s));
        add(cases, u"string"_s, u"string"_s, op, u"Smith"_s, same(u"{Q} {op} 'Smith'"_s));
        add(cases, u"date"_s, u"date"_s, op, u"2001-1-5"_s,
            {u"to_char({Q},'yyyy-mm-dd') {op} '2001-01-05'"_s, u"{Q} {op} '2001-1-5'"_s, u"{Q} {op} #2001-01-05#"_s,
             u"{Q} {op} '2001-1-5'"_s});
        add(cases, u"date-time"_s, u"date"_s, op, u"2001-1-5 9:05"_s,
            {u"to_char({Q},'yyyy-mm-dd HH24:MI:SS') {op} '2001-01-05 09:05:00'"_s, u"{Q} {op} '2001-1-5 9:05'"_s,
             u"{Q} {op} #2001-01-05 09:05:00#"_s, u"{Q} {op} '2001-1-5 9:05'"_s});
    }
    for (const QString &typeClass : {u"string"_s, u"lstring"_s}) {
        add(cases, typeClass, typeClass, u"include "_s, u"Smith"_s, same(u"{Q} like '%Smith%'"_s));
        add(cases, typeClass, typeClass, u"not include "_s, u"Smith"_s, same(u"{Q} not like '%Smith%'"_s));
    }
    add(cases, u"boolean"_s, u"boolean"_s, u"true "_s, QString(),
        {u"{Q} = 1"_s, u"{Q} = 1"_s, u"{Q} = -1"_s, u"{Q} = true"_s});
    add(cases, u"boolean"_s, u"boolean"_s, u"false "_s, QString(),
        {u"{Q} = 0"_s, u"{Q} = 0"_s, u"{Q} = 0"_s, u"{Q} = false"_s});
    for (const QString &typeClass : {u"number"_s, u"string"_s, u"lstring"_s, u"date"_s, u"boolean"_s}) {
        // The Value is ignored by the null tests, whatever it holds.
        add(cases, typeClass, typeClass, u"null "_s, u"12:00 x"_s, same(u"{Q} is null"_s));
        add(cases, typeClass, typeClass, u"not null "_s, u"12:00 x"_s, same(u"not {Q} is null"_s));
    }
    return cases;
}

} // namespace condora::test
