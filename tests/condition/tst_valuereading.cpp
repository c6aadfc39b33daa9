#include "condition/valuereading.h"

#include <QLocale>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace condora;

class TestValueReading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void number_data();
    void number();
    void date_data();
    void date();
    void isoText_data();
    void isoText();
    void money_data();
    void money();
    void ignoresLocale();
};

void TestValueReading::number_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readable");

    QTest::newRow("integer") << u"42"_s << true;
    QTest::newRow("negative") << u"-7"_s << true;
    QTest::newRow("plus sign") << u"+7"_s << true;
    QTest::newRow("decimal") << u"3.25"_s << true;
    QTest::newRow("leading point") << u".5"_s << true;
    QTest::newRow("trailing point") << u"5."_s << true;
    QTest::newRow("exponent") << u"1e10"_s << true;
    QTest::newRow("signed exponent") << u"2.5E-3"_s << true;
    QTest::newRow("spaces around") << u"  12  "_s << true;
    QTest::newRow("long digits") << QString(500, u'9') << true;

    QTest::newRow("empty") << QString() << false;
    QTest::newRow("sign only") << u"-"_s << false;
    QTest::newRow("trailing letter") << u"12a"_s << false;
    QTest::newRow("thousands comma") << u"1,000"_s << false;
    QTest::newRow("currency") << u"$5"_s << false;
    QTest::newRow("inner blank") << u"1 000"_s << false;
    QTest::newRow("hexadecimal") << u"0x1F"_s << false;
    QTest::newRow("two points") << u"1.2.3"_s << false;
    QTest::newRow("two signs") << u"--1"_s << false;
    QTest::newRow("empty exponent") << u"1e"_s << false;
    QTest::newRow("exponent without mantissa") << u"e5"_s << false;
    QTest::newRow("infinity") << u"Inf"_s << false;
    QTest::newRow("tab around") << u"\t5"_s << false;
    QTest::newRow("arabic-indic digits") << u"\u0661\u0662"_s << false;
    QTest::newRow("statement after number") << u"1; drop table t"_s << false;
    QTest::newRow("or clause") << u"1 or 1=1"_s << false;
}

void TestValueReading::number()
{
    QFETCH(QString, text);
    QFETCH(bool, readable);
    QCOMPARE(isReadableNumber(text), readable);
}

void TestValueReading::date_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reading"); // yyyy-MM-dd HH:mm:ss, empty when not a date

    QTest::newRow("iso") << u"2001-01-05"_s << u"2001-01-05 00:00:00"_s;
    QTest::newRow("short month and day") << u"2001-1-5"_s << u"2001-01-05 00:00:00"_s;
    QTest::newRow("slashes") << u"2001/1/5"_s << u"2001-01-05 00:00:00"_s;
    QTest::newRow("hours and minutes") << u"2001-1-5 9:05"_s << u"2001-01-05 09:05:00"_s;
    QTest::newRow("with seconds") << u"2001-1-5 23:59:59"_s << u"2001-01-05 23:59:59"_s;
    QTest::newRow("leap day") << u"2000-02-29"_s << u"2000-02-29 00:00:00"_s;
    QTest::newRow("spaces around") << u" 2001-1-5 "_s << u"2001-01-05 00:00:00"_s;
    QTest::newRow("last day") << u"9999-12-31 23:59:59"_s << u"9999-12-31 23:59:59"_s;
    // A time that a daylight-saving change skips in many zones is still a written time.
    QTest::newRow("spring forward hour") << u"2021-03-28 2:30"_s << u"2021-03-28 02:30:00"_s;

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("day first") << u"31/02/2001"_s << QString();
    QTest::newRow("february 30") << u"2001-02-30"_s << QString();
    QTest::newRow("not a leap year") << u"2001-02-29"_s << QString();
    QTest::newRow("month 13") << u"2001-13-01"_s << QString();
    QTest::newRow("year zero") << u"0000-01-01"_s << QString();
    QTest::newRow("two-digit year") << u"01-1-5"_s << QString();
    QTest::newRow("mixed separators") << u"2001-1/5"_s << QString();
    QTest::newRow("three-digit day") << u"2001-1-005"_s << QString();
    QTest::newRow("extra part") << u"2001-1-5-7"_s << QString();
    QTest::newRow("month name") << u"2001-Jan-5"_s << QString();
    QTest::newRow("hour 24") << u"2001-1-5 24:00"_s << QString();
    QTest::newRow("minute 60") << u"2001-1-5 10:60"_s << QString();
    QTest::newRow("one-digit minute") << u"2001-1-5 10:5"_s << QString();
    QTest::newRow("fractional seconds (was not a date)") << u"2001-1-5 10:05:00.5"_s << u"2001-01-05 10:05:00.500"_s;
    QTest::newRow("iso T (was not a date)") << u"2001-01-05T10:05"_s << u"2001-01-05 10:05:00.000"_s;
    QTest::newRow("iso T with microseconds") << u"2001-01-05T10:20:30.123456"_s << u"2001-01-05 10:20:30.123"_s;
    QTest::newRow("seven fraction digits") << u"2001-1-5 10:05:00.1234567"_s << QString();
    QTest::newRow("point without digits") << u"2001-1-5 10:05:00."_s << QString();
    QTest::newRow("fraction without seconds") << u"2001-1-5 10:05.5"_s << QString();
    QTest::newRow("fraction with a comma") << u"2001-1-5 10:05:00,5"_s << QString();
    QTest::newRow("lower-case t") << u"2001-01-05t10:05"_s << QString();
    QTest::newRow("T and a blank") << u"2001-01-05T 10:05"_s << QString();
    QTest::newRow("T without a time") << u"2001-01-05T"_s << QString();
    QTest::newRow("quote after date") << u"2001-1-5' or '1'='1"_s << QString();
    QTest::newRow("hash after date") << u"2001-1-5# or 1=1 or #2001-1-5"_s << QString();
    QTest::newRow("arabic-indic digits") << u"\u0662\u0660\u0660\u0661-1-5"_s << QString();
}

void TestValueReading::date()
{
    QFETCH(QString, text);
    QFETCH(QString, reading);
    const auto date = readDate(text);
    QCOMPARE(date.has_value(), !reading.isEmpty());
    QCOMPARE(isReadableDate(text), !reading.isEmpty());
    if (date) {
        QCOMPARE(date->toString(reading.size() > 19 ? u"yyyy-MM-dd HH:mm:ss.zzz"_s : u"yyyy-MM-dd HH:mm:ss"_s),
                 reading);
    }
}

void TestValueReading::isoText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("iso");
    QTest::newRow("date alone") << u"2001/1/5"_s << u"2001-01-05"_s;
    QTest::newRow("points") << u"2001.1.5"_s << u"2001-01-05"_s;
    QTest::newRow("hours and minutes") << u"2001-1-5 9:05"_s << u"2001-01-05 09:05:00"_s;
    QTest::newRow("midnight written") << u"2001-01-05 00:00"_s << u"2001-01-05 00:00:00"_s;
    QTest::newRow("T separator") << u"2001-01-05T10:20:30"_s << u"2001-01-05 10:20:30"_s;
    QTest::newRow("fraction as written") << u"2001-1-5 10:20:30.50"_s << u"2001-01-05 10:20:30.50"_s;
    QTest::newRow("microseconds") << u"2001-1-5 10:20:30.000001"_s << u"2001-01-05 10:20:30.000001"_s;
    // Time zone offsets as PostgreSQL prints them and as ISO 8601 writes them; readDate() takes none.
    QTest::newRow("offset hours") << u"2024-01-02 03:04:05.123456+02"_s << u"2024-01-02 03:04:05.123456+02:00"_s;
    QTest::newRow("offset hh:mm") << u"2024-07-01 12:00:00+05:30"_s << u"2024-07-01 12:00:00+05:30"_s;
    QTest::newRow("offset hhmm, negative") << u"2024-07-01T12:00-0800"_s << u"2024-07-01 12:00:00-08:00"_s;
    QTest::newRow("Z") << u"2024-07-01T12:00:00Z"_s << u"2024-07-01 12:00:00Z"_s;
    QTest::newRow("offset without a time") << u"2024-07-01+02"_s << QString();
    QTest::newRow("offset of one digit") << u"2024-07-01 12:00+2"_s << QString();
    QTest::newRow("offset hour 16") << u"2024-07-01 12:00+16"_s << QString();
    QTest::newRow("offset minute 60") << u"2024-07-01 12:00+01:60"_s << QString();
    QTest::newRow("offset and more") << u"2024-07-01 12:00+01' or '1'='1"_s << QString();
    QTest::newRow("colon without minutes") << u"2024-07-01 12:00+01:"_s << QString();
}

void TestValueReading::isoText()
{
    QFETCH(QString, text);
    QFETCH(QString, iso);
    const auto written = readWrittenDate(text);
    QCOMPARE(written.has_value(), !iso.isEmpty());
    if (written) {
        QCOMPARE(isoDateText(*written), iso);
        QCOMPARE(isReadableDate(text), written->offset.isEmpty());
    }
}

void TestValueReading::money_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("readable");
    QTest::newRow("as printed") << u"$1,000.00"_s << true;
    QTest::newRow("negative") << u"-$1,234.50"_s << true;
    QTest::newRow("brackets") << u"($5.00)"_s << true;
    QTest::newRow("euro after") << u"1.000,00 \u20ac"_s << true;
    QTest::newRow("plain number") << u"1000"_s << true;
    QTest::newRow("no digit") << u"$"_s << false;
    QTest::newRow("letters") << u"1000 USD"_s << false;
    QTest::newRow("quote") << u"1' or '1'='1"_s << false;
}

void TestValueReading::money()
{
    QFETCH(QString, text);
    QFETCH(bool, readable);
    QCOMPARE(isReadableMoney(text), readable);
}

void TestValueReading::ignoresLocale()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const bool decimalComma = isReadableNumber(u"1,5"_s);
    const bool decimalPoint = isReadableNumber(u"1.5"_s);
    const bool dayFirst = isReadableDate(u"5.1.2001"_s);
    const auto yearFirst = readDate(u"2001.1.5"_s);
    QLocale::setDefault(previous);

    QVERIFY(!decimalComma);
    QVERIFY(decimalPoint);
    QVERIFY(!dayFirst);
    QVERIFY(yearFirst);
    QCOMPARE(yearFirst->date(), QDate(2001, 1, 5));
}

int runValueReadingTests(int argc, char **argv)
{
    TestValueReading test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_valuereading.moc"
