#include "support/testmain.h"

#include "platform/olecolor.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"
#include "platform/twips.h"
#include "platform/userinteraction.h"

#include <QPalette>

using namespace condora;

class TestPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void find_data();
    void find();
    void slicing_data();
    void slicing();
    void badArgumentsRaiseInvalidArgument_data();
    void badArgumentsRaiseInvalidArgument();
    void trimTouchesSpacesOnly_data();
    void trimTouchesSpacesOnly();
    void replaceIsCaseSensitive();
    void runtimeErrorCarriesNumberAndDescription();
    void oleColorRgbLayout();
    void oleColorSystemColours_data();
    void oleColorSystemColours();
    void twipsConversion();
    void recordingServiceAnswersAndRecords();
    void recordingServiceRestoresPrevious();
    void defaultCaptionAppliesToBoxesWithoutOne();
};

void TestPlatform::find_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("expected");
    QTest::newRow("first occurrence") << u"select a from t from"_qs << u" from "_qs << 1 << 9;
    QTest::newRow("case-insensitive") << u"SELECT a FROM t"_qs << u" from "_qs << 1 << 9;
    QTest::newRow("not found") << u"select a"_qs << u" from "_qs << 1 << 0;
    QTest::newRow("from a later start") << u"a,b,c"_qs << u","_qs << 3 << 4;
    QTest::newRow("start past the end") << u"abc"_qs << u"c"_qs << 10 << 0;
    QTest::newRow("non-ASCII") << u"ÄÖü x"_qs << u"öÜ"_qs << 1 << 2;
    QTest::newRow("tab is not a space") << u"select a\tfrom t"_qs << u" from "_qs << 1 << 0;
}

void TestPlatform::find()
{
    QFETCH(QString, in);
    QFETCH(QString, what);
    QFETCH(int, start);
    QFETCH(int, expected);
    QCOMPARE(text::find(in, what, start), expected);
}

void TestPlatform::slicing_data()
{
    QTest::addColumn<QString>("expr");
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    const QString s = u"abcdef"_qs;
    QTest::newRow("mid to end") << u"mid(s,3)"_qs << text::mid(s, 3) << u"cdef"_qs;
    QTest::newRow("mid with length") << u"mid(s,2,3)"_qs << text::mid(s, 2, 3) << u"bcd"_qs;
    QTest::newRow("mid past end") << u"mid(s,7)"_qs << text::mid(s, 7) << QString();
    QTest::newRow("mid length past end") << u"mid(s,5,10)"_qs << text::mid(s, 5, 10) << u"ef"_qs;
    QTest::newRow("mid zero length") << u"mid(s,1,0)"_qs << text::mid(s, 1, 0) << QString();
    QTest::newRow("left") << u"left(s,2)"_qs << text::left(s, 2) << u"ab"_qs;
    QTest::newRow("left longer than text") << u"left(s,20)"_qs << text::left(s, 20) << s;
    QTest::newRow("right") << u"right(s,2)"_qs << text::right(s, 2) << u"ef"_qs;
    QTest::newRow("right zero") << u"right(s,0)"_qs << text::right(s, 0) << QString();
}

void TestPlatform::slicing()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestPlatform::badArgumentsRaiseInvalidArgument_data()
{
    QTest::addColumn<int>("which");
    QTest::newRow("mid start 0") << 0;
    QTest::newRow("mid negative length") << 1;
    QTest::newRow("left negative") << 2;
    QTest::newRow("right negative") << 3;
    QTest::newRow("find start 0") << 4;
    QTest::newRow("mid start -5 with length") << 5;
}

void TestPlatform::badArgumentsRaiseInvalidArgument()
{
    QFETCH(int, which);
    const QString s = u"abc"_qs;
    try {
        switch (which) {
        case 0:
            text::mid(s, 0);
            break;
        case 1:
            text::mid(s, 1, -1);
            break;
        case 2:
            text::left(s, -1);
            break;
        case 3:
            text::right(s, -2);
            break;
        case 4:
            text::find(s, u"a"_qs, 0);
            break;
        case 5:
            text::mid(s, -5, 2);
            break;
        }
        QFAIL("no error raised");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), ErrorNumber::InvalidArgument);
        QVERIFY(!error.description().isEmpty());
    }
}

void TestPlatform::trimTouchesSpacesOnly_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("both");
    QTest::addColumn<QString>("leftOnly");
    QTest::addColumn<QString>("rightOnly");
    QTest::newRow("spaces") << u"  a b  "_qs << u"a b"_qs << u"a b  "_qs << u"  a b"_qs;
    QTest::newRow("tabs and line breaks stay") << u"\t a \r\n"_qs << u"\t a \r\n"_qs << u"\t a \r\n"_qs
                                               << u"\t a \r\n"_qs;
    QTest::newRow("only spaces") << u"   "_qs << QString() << QString() << QString();
    QTest::newRow("empty") << QString() << QString() << QString() << QString();
}

void TestPlatform::trimTouchesSpacesOnly()
{
    QFETCH(QString, in);
    QFETCH(QString, both);
    QFETCH(QString, leftOnly);
    QFETCH(QString, rightOnly);
    QCOMPARE(text::trim(in), both);
    QCOMPARE(text::trimLeft(in), leftOnly);
    QCOMPARE(text::trimRight(in), rightOnly);
}

void TestPlatform::replaceIsCaseSensitive()
{
    QCOMPARE(text::replace(u"O'Brien's"_qs, u"'"_qs, u"''"_qs), u"O''Brien''s"_qs);
    QCOMPARE(text::replace(u"Include include"_qs, u"include"_qs, u"like"_qs), u"Include like"_qs);
    QCOMPARE(text::replace(u"abc"_qs, QString(), u"x"_qs), u"abc"_qs);
}

void TestPlatform::runtimeErrorCarriesNumberAndDescription()
{
    const RuntimeError db = RuntimeError::database(u"no such column: x"_qs);
    QCOMPARE(db.number(), ErrorNumber::Database);
    QCOMPARE(db.description(), u"no such column: x"_qs);
    QCOMPARE(QByteArray(db.what()), QByteArray("no such column: x"));
    QCOMPARE(RuntimeError::subscriptOutOfRange().number(), 9);
    QCOMPARE(RuntimeError::typeMismatch().number(), 13);
    QCOMPARE(RuntimeError::objectNotSet().number(), 91);
    QVERIFY(RuntimeError::objectNotSet(u"connection is closed"_qs).description().contains(u"connection is closed"_qs));
}

void TestPlatform::oleColorRgbLayout()
{
    // The used-row green: red 39, green 118, blue 55.
    const OleColor green(0x377627);
    QVERIFY(!green.isSystem());
    QCOMPARE(green.toColor(), QColor(39, 118, 55));
    QCOMPARE(OleColor::fromRgb(192, 192, 192).value(), 0xC0C0C0u);
    QCOMPARE(OleColor::fromColor(QColor(1, 2, 3)).value(), 0x030201u);
}

void TestPlatform::oleColorSystemColours_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<int>("role");
    QTest::newRow("button face 15") << quint32(0x8000000F) << int(QPalette::Button);
    QTest::newRow("button text 18") << quint32(0x80000012) << int(QPalette::ButtonText);
    QTest::newRow("window text 8") << quint32(0x80000008) << int(QPalette::Text);
    QTest::newRow("window 5") << quint32(0x80000005) << int(QPalette::Base);
    QTest::newRow("highlight 13") << quint32(0x8000000D) << int(QPalette::Highlight);
    QTest::newRow("highlight text 14") << quint32(0x8000000E) << int(QPalette::HighlightedText);
}

void TestPlatform::oleColorSystemColours()
{
    QFETCH(quint32, value);
    QFETCH(int, role);
    QPalette palette;
    palette.setColor(QPalette::ColorRole(role), QColor(1, 2, 3));
    const OleColor colour(value);
    QVERIFY(colour.isSystem());
    QCOMPARE(colour.toColor(palette), QColor(1, 2, 3));
}

void TestPlatform::twipsConversion()
{
    QCOMPARE(twips::toPixels(465), 31);
    QCOMPARE(twips::toPixels(8205), 547);
    QCOMPARE(twips::fromPixels(32), 480);
    QCOMPARE(twips::toPixels(7), 0);
    QCOMPARE(twips::toPixels(8), 1);
}

void TestPlatform::recordingServiceAnswersAndRecords()
{
    RecordingUserInteraction ui;
    ui.queueAnswer(MessageAnswer::Cancel);
    int hookCalls = 0;
    ui.setOnMessage([&hookCalls](const MessageRequest &) { ++hookCalls; });
    QCOMPARE(messageBox(u"first"_qs, MessageButtons::OkCancel, MessageIcon::Question, MessageDefault::Second),
             MessageAnswer::Cancel);
    QCOMPARE(messageBox(u"second"_qs, MessageButtons::Ok, MessageIcon::Exclamation, u"Title"_qs), MessageAnswer::Ok);
    QCOMPARE(ui.texts(), QStringList({u"first"_qs, u"second"_qs}));
    QCOMPARE(hookCalls, 2);
    QCOMPARE(ui.messages().at(0).icon, MessageIcon::Question);
    QCOMPARE(ui.messages().at(0).defaultButton, MessageDefault::Second);
    QCOMPARE(ui.messages().at(1).caption, u"Title"_qs);
    QVERIFY(ui.messages().at(1).explicitCaption);

    ui.setMousePointer(MousePointer::Hourglass);
    ui.setMousePointer(MousePointer::Default);
    QCOMPARE(ui.pointerHistory(), QList<MousePointer>({MousePointer::Hourglass, MousePointer::Default}));
    ui.processEvents();
    ui.sendTab();
    QCOMPARE(ui.processEventsCount(), 1);
    QCOMPARE(ui.sendTabCount(), 1);
}

void TestPlatform::recordingServiceRestoresPrevious()
{
    UserInteraction *before = &UserInteraction::instance();
    {
        RecordingUserInteraction outer;
        {
            RecordingUserInteraction inner;
            QCOMPARE(&UserInteraction::instance(), static_cast<UserInteraction *>(&inner));
        }
        QCOMPARE(&UserInteraction::instance(), static_cast<UserInteraction *>(&outer));
    }
    QCOMPARE(&UserInteraction::instance(), before);
}

void TestPlatform::defaultCaptionAppliesToBoxesWithoutOne()
{
    RecordingUserInteraction ui;
    UserInteraction::setDefaultCaption(u"Host"_qs);
    messageBox(u"no caption of its own"_qs);
    messageBox(u"explicit empty caption"_qs, MessageButtons::Ok, MessageIcon::None, QString());
    UserInteraction::setDefaultCaption(QString());
    QCOMPARE(ui.shownCaptions(), QStringList({u"Host"_qs, QString()}));
}

CONDORA_TEST_MAIN(TestPlatform)
#include "tst_platform.moc"
