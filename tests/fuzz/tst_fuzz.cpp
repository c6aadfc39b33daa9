// Random-input test of the statement text routines, the value readings and the condition
// composer. Inputs are random mixes of SQL keywords in both letter cases, punctuation, quotes,
// brackets, tabs and line breaks, non-ASCII text (length-changing case folds, surrogate pairs,
// lone surrogates, NUL) and, now and then, very long runs. No database is involved.
//
// The run is deterministic: each routine draws from its own generator seeded from one seed,
// printed at the start, so a failure repeats with the same seed.
//
// Environment:
//   CONDORA_FUZZ_SEED     the seed (default 20250101)
//   CONDORA_FUZZ_SCALE    multiplies every iteration budget (default 1)
//   CONDORA_FUZZ_SECONDS  wall-clock cap per routine (default 6); a routine that reaches it
//                         stops early and says how far it got, so the whole run stays near a
//                         minute even under the sanitizers on a busy machine

#include "analysis/errorreport.h"
#include "analysis/fieldcatalog.h"
#include "analysis/queryrun.h"
#include "analysis/sqlscanner.h"
#include "analysis/statementsplitter.h"
#include "analysis/statementtools.h"
#include "analysis/tableresolution.h"
#include "condition/conditioncomposer.h"
#include "condition/valuereading.h"
#include "platform/runtimeerror.h"
#include "platform/userinteraction.h"

#include "support/testmain.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace condora;

namespace {

quint32 g_seed = 20250101;
double g_scale = 1.0;
qint64 g_capMs = 6000;

const QStringList keywords{
    u" from "_s, u" FROM "_s, u" From "_s, u" where "_s, u" WHERE "_s, u" order by "_s, u" ORDER BY "_s,
    u" inner join "_s, u" INNER JOIN "_s, u" left join "_s, u" left outer join "_s, u" right join "_s,
    u" right outer join "_s, u" full join "_s, u" full outer join "_s, u" cross join "_s, u" CROSS JOIN "_s,
    u" on "_s, u" ON "_s, u" as "_s, u" AS "_s, u"select "_s, u"SELECT "_s, u" and "_s, u" or "_s,
    u" 1=0 "_s, u" group by "_s, u" union "_s, u"distinct "_s,
};

const QStringList punctuation{
    u","_s, u", "_s, u"."_s, u"["_s, u"]"_s, u"'"_s, u"''"_s, u"\""_s, u"("_s, u")"_s, u";"_s, u" "_s,
    u"  "_s, u"   "_s, u"\t"_s, u"\n"_s, u"\r\n"_s, u"="_s, u"<>"_s, u"%"_s, u"_"_s, u"\\"_s, u"--"_s,
    u"/*"_s, u"*/"_s, u"*"_s, u":"_s, u"-"_s, u"/"_s, u"#"_s,
};

const QStringList words{
    u"a"_s, u"t"_s, u"x"_s, u"id"_s, u"a.id"_s, u"t.x"_s, u"Customers"_s, u"GenderTypes"_s,
    u"GenderTypes.Gender"_s, u"[Order Details]"_s, u"[Order Details].OrderID"_s, u"Products.ProductID"_s,
    u"CCur([Order Details].[UnitPrice]*[Quantity])"_s, u"\"Order Details\""_s, u"1"_s, u"0"_s,
    u"2001-1-5"_s, u"12:30"_s, u"O'Brien"_s, u"count(*)"_s, u"(select b from u)"_s,
};

// Texts whose case mapping or folding changes length, characters outside the basic plane
// (surrogate pairs), a lone surrogate, NUL, a right-to-left override, a no-break space.
const QStringList exotic{
    u"ä"_s, u"Straße"_s, u"ẞ"_s, u"İ"_s, u"ı"_s, u"\u212A"_s, u"ﬀ"_s, u"日本語"_s, u"😀"_s, u"𝔘"_s,
    QString(QChar(0xD800)), QString(QChar(0xDC00)), QString(QChar(0)), u"\u202E"_s, u"\u00A0"_s,
    u"Ω"_s, u"\u0301"_s,
};

const QStringList typeClasses{u"number"_s, u"boolean"_s, u"date"_s, u"string"_s, u"lstring"_s, u"other"_s};

const QStringList operatorWords{
    u"> "_s, u">= "_s, u"= "_s, u"<> "_s, u"<= "_s, u"< "_s, u"include "_s, u"not include "_s,
    u"true "_s, u"false "_s, u"null "_s, u"not null "_s,
};

/// Readable form of a random text for failure messages: printable ASCII as is, everything
/// else as \uXXXX, cut after 200 characters.
QString shown(const QString &text)
{
    QString out;
    constexpr qsizetype limit = 200;
    for (qsizetype i = 0; i < text.size() && i < limit; ++i) {
        const QChar c = text.at(i);
        if (c == u'\\') {
            out += "\\\\"_L1;
        } else if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            out += c;
        } else {
            out += u"\\u%1"_s.arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    if (text.size() > limit) {
        out += u"... (%1 characters)"_s.arg(text.size());
    }
    return u'"' + out + u'"';
}

QString failure(const char *routine, const char *condition, int iteration, const QString &detail)
{
    return u"%1, iteration %2 (seed %3): %4 does not hold for %5"_s.arg(QLatin1StringView(routine))
        .arg(iteration)
        .arg(g_seed)
        .arg(QLatin1StringView(condition), detail);
}

/// Checks an invariant inside a fuzz loop; names the routine, the iteration, the seed and the
/// input on failure.
#define FUZZ_CHECK(condition, detail)                                                                     \
    do {                                                                                                  \
        if (!(condition)) {                                                                               \
            QFAIL(qPrintable(failure(Q_FUNC_INFO, #condition, i, (detail))));                             \
        }                                                                                                 \
    } while (false)

/// Runs `call`; returns what escaped from it (empty when nothing did).
QString escapedFrom(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &error) {
        return u"RuntimeError %1: %2"_s.arg(error.number()).arg(error.description());
    } catch (const std::exception &error) {
        return u"std::exception: "_s + QString::fromLocal8Bit(error.what());
    } catch (...) {
        return u"unknown exception"_s;
    }
    return QString();
}

QString withoutSpaces(QString text)
{
    return text.remove(u' ');
}

QString trimmedSpaces(const QString &text);

// Regular expressions do not match in texts with lone surrogates: such texts count as
// neither plain nor free of quotes.
bool hasSurrogate(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); });
}

// No literal, quoted name, comment or parenthesis in the text.
bool withoutQuotesOrComments(const QString &text)
{
    static const QRegularExpression marks(u"['\"`\\[\\]()]|--|/\\*"_s);
    return !hasSurrogate(text) && !text.contains(marks);
}

// A statement the plain text rules have always handled: no literal, quoted name, comment or
// parenthesis, single spaces and no other white space, FROM, WHERE and ORDER BY only with one
// space on each side and not first, no WHERE or ORDER BY before the first FROM, and no clause
// that the plain rules passed over (GROUP BY, LIMIT, ...) or OR. On such statements the cuts
// give what the plain rules give.
bool plainStatement(const QString &text)
{
    static const QRegularExpression otherWords(u"\\b(group|having|window|limit|offset|fetch|for|or|union|intersect|except|minus)\\b"_s,
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cutWords(u"\\b(order|by|where|from)\\b"_s,
                                             QRegularExpression::CaseInsensitiveOption);
    if (!withoutQuotesOrComments(text) || text.contains("  "_L1) || text.contains(u'\t') || text.contains(u'\r')
        || text.contains(u'\n') || text.contains(otherWords)) {
        return false;
    }
    for (auto it = cutWords.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const qsizetype before = match.capturedStart() - 1;
        const qsizetype after = match.capturedEnd();
        if (before < 0 || text.at(before) != u' ' || after >= text.size() || text.at(after) != u' '
            || trimmedSpaces(text.left(before)).isEmpty()) {
            return false;
        }
    }
    const qsizetype orderBy = text.indexOf(" order by "_L1, 0, Qt::CaseInsensitive);
    const qsizetype from = text.indexOf(" from "_L1, 0, Qt::CaseInsensitive);
    const qsizetype where = text.indexOf(" where "_L1, 0, Qt::CaseInsensitive);
    return (orderBy < 0 || from < orderBy) && (where < 0 || from < where);
}

QString trimmedSpaces(const QString &text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text.at(from) == u' ') {
        ++from;
    }
    while (to > from && text.at(to - 1) == u' ') {
        --to;
    }
    return text.mid(from, to - from);
}

/// Empty when every box shown is one error report with `context` (either of `contexts` when
/// two are allowed) and a run-time error number of the platform: invalid argument (5),
/// subscript out of range (9) or type mismatch (13). Internal errors (51) and out-of-memory
/// reports (7) mean something other than a RuntimeError left a routine, which is a fault.
QString badReport(const RecordingUserInteraction &ui, const QStringList &contexts)
{
    static const QRegularExpression shape(u"^Error message:(.*?)\r\n (.*)\r\nError number:(-?\\d+)$"_s,
                                          QRegularExpression::DotMatchesEverythingOption);
    for (const MessageRequest &request : ui.messages()) {
        const QRegularExpressionMatch match = shape.match(request.text);
        if (!match.hasMatch()) {
            return u"not an error report: "_s + shown(request.text);
        }
        if (!contexts.contains(match.captured(1))) {
            return u"a report with the context "_s + shown(match.captured(1));
        }
        const int number = match.captured(3).toInt();
        if (number != ErrorNumber::InvalidArgument && number != ErrorNumber::SubscriptOutOfRange
            && number != ErrorNumber::TypeMismatch) {
            return u"a report of an unexpected failure: "_s + shown(request.text);
        }
    }
    return QString();
}

/// Iteration budget of one routine: a fixed count, scaled, cut off by the wall-clock cap.
class Budget
{
public:
    Budget(const char *routine, int iterations) : m_routine(routine), m_limit(int(iterations * g_scale))
    {
        m_timer.start();
    }
    ~Budget()
    {
        if (m_stoppedAt >= 0) {
            qInfo("%s: wall-clock cap reached after %d of %d iterations", m_routine, m_stoppedAt, m_limit);
        } else {
            qInfo("%s: %d iterations in %lld ms, %d of them ended in an error report", m_routine, m_done,
                  static_cast<long long>(m_timer.elapsed()), m_reported);
        }
    }
    /// Counts an input that the routine rightly refused with an error report.
    void reported() { ++m_reported; }
    bool next(int i)
    {
        m_done = i;
        if (i >= m_limit) {
            return false;
        }
        if (i % 16 == 0 && m_timer.elapsed() > g_capMs) {
            m_stoppedAt = i;
            return false;
        }
        return true;
    }

private:
    const char *m_routine;
    int m_limit;
    int m_stoppedAt = -1;
    int m_done = 0;
    int m_reported = 0;
    QElapsedTimer m_timer;
};

/// The random texts.
class Source
{
public:
    explicit Source(quint32 salt) : m_rng(g_seed ^ (salt * 0x9E3779B9u)) {}

    int below(int n) { return n <= 1 ? 0 : int(m_rng.bounded(quint32(n))); }
    bool chance(int percent) { return below(100) < percent; }
    const QString &pick(const QStringList &list) { return list.at(below(int(list.size()))); }
    quint32 raw() { return m_rng.generate(); }

    /// A long run: 1,000 to 100,000 copies of one short text.
    QString longRun()
    {
        static const QStringList units{u"x"_s, u" "_s, u","_s, u"."_s, u"ä"_s, u"\t"_s, u"("_s, u"ab"_s,
                                       u"'"_s, u"😀"_s, u"a, "_s, u" inner join t on x"_s, u"a.b as c, "_s,
                                       u" where "_s};
        const QString unit = pick(units);
        const int copies = 1000 + below(99001);
        return unit.repeated(qMax(1, copies / int(unit.size())));
    }

    QString piece()
    {
        const int kind = below(100);
        if (kind < 35) {
            return pick(keywords);
        }
        if (kind < 65) {
            return pick(punctuation);
        }
        if (kind < 85) {
            return pick(words);
        }
        if (kind < 95) {
            return pick(exotic);
        }
        return QString(QChar(char16_t(raw() & 0xFFFF)));
    }

    /// Up to `maxPieces` pieces; in about one text of 50, a long run somewhere inside.
    QString text(int maxPieces = 24)
    {
        QString out;
        const int count = below(maxPieces + 1);
        const int longAt = chance(2) ? below(count + 1) : -1;
        for (int k = 0; k <= count; ++k) {
            if (k == longAt) {
                out += longRun();
            }
            if (k < count) {
                out += piece();
            }
        }
        return out;
    }

    /// A statement that looks like one now and then, otherwise random text.
    QString statement()
    {
        static const QStringList shapes{
            u"select a.x, a.y from t a"_s,
            u"select a.x, a.y from t a where a.x=1"_s,
            u"select a.x from t a ORDER BY a.x"_s,
            u"SELECT a.x FROM t a WHERE a.y='o''k' ORDER BY a.x desc"_s,
            u"select x from t order by x order by y"_s,
            u"select * from (select x from t where x=1) s"_s,
        };
        if (chance(30)) {
            QString base = pick(shapes);
            if (chance(40)) {
                base.insert(below(int(base.size()) + 1), piece());
            }
            return base;
        }
        return text();
    }

    /// A value the user may type: random text, a number or date look-alike, or a long one.
    QString value()
    {
        const int kind = below(100);
        if (kind < 40) {
            return text(8);
        }
        if (kind < 55) {
            return numberSoup();
        }
        if (kind < 70) {
            return dateSoup();
        }
        if (kind < 72) {
            return pick(words).repeated(1 + below(2000));
        }
        return pick(words);
    }

    QString numberSoup()
    {
        static const QStringList parts{u"0"_s, u"1"_s, u"7"_s, u"42"_s, u"+"_s, u"-"_s, u"."_s, u"e"_s, u"E"_s,
                                       u" "_s, u","_s, u"$"_s, u"x"_s, u"\t"_s, u"\u00A0"_s, u"١"_s, u"Inf"_s,
                                       u"NaN"_s, u"0x1F"_s, u"'"_s, u"9999999999999999999999"_s};
        QString out;
        const int count = below(9);
        for (int k = 0; k < count; ++k) {
            out += pick(parts);
        }
        return out;
    }

    QString dateSoup()
    {
        static const QStringList parts{u"2001"_s, u"0000"_s, u"9999"_s, u"10000"_s, u"1"_s, u"02"_s, u"12"_s,
                                       u"13"_s, u"29"_s, u"30"_s, u"31"_s, u"-"_s, u"/"_s, u"."_s, u":"_s,
                                       u" "_s, u"00"_s, u"23"_s, u"24"_s, u"59"_s, u"60"_s, u"T"_s, u"٢"_s,
                                       u"\t"_s};
        QString out;
        const int count = below(12);
        for (int k = 0; k < count; ++k) {
            out += pick(parts);
        }
        return out;
    }

private:
    QRandomGenerator m_rng;
};

} // namespace

class TestFuzz : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void spaceCollapsing();
    void listSplitting();
    void noRowsForm();
    void statementCut();
    void joinFlattening();
    void selectList();
    void typeClassWords();
    void numberReading();
    void dateReading();
    void composer();

private:
    std::unique_ptr<RecordingUserInteraction> m_ui;
};

namespace {

QtMessageHandler g_previousHandler = nullptr;

/// Random scripts in the preview editor make the font engine warn about every script it has
/// no shaping tables for; those warnings say nothing about the code under test.
void quietFontWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.contains("OpenType support missing"_L1)) {
        return;
    }
    g_previousHandler(type, context, message);
}

} // namespace

void TestFuzz::initTestCase()
{
    g_previousHandler = qInstallMessageHandler(quietFontWarnings);

    bool ok = false;
    const quint32 seed = qEnvironmentVariable("CONDORA_FUZZ_SEED").toUInt(&ok);
    if (ok) {
        g_seed = seed;
    }
    const double scale = qEnvironmentVariable("CONDORA_FUZZ_SCALE").toDouble(&ok);
    if (ok && scale > 0) {
        g_scale = scale;
    }
    const double seconds = qEnvironmentVariable("CONDORA_FUZZ_SECONDS").toDouble(&ok);
    if (ok && seconds > 0) {
        g_capMs = qint64(seconds * 1000);
    }
    qInfo("fuzz seed %u (CONDORA_FUZZ_SEED), scale %g (CONDORA_FUZZ_SCALE), cap %lld ms per routine "
          "(CONDORA_FUZZ_SECONDS)",
          g_seed, g_scale, static_cast<long long>(g_capMs));
}

void TestFuzz::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void TestFuzz::init()
{
    m_ui = std::make_unique<RecordingUserInteraction>();
}

void TestFuzz::cleanup()
{
    m_ui.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestFuzz::spaceCollapsing()
{
    Source source(1);
    Budget budget("spaceCollapsing", 20000);
    for (int i = 0; budget.next(i); ++i) {
        const QString input = source.text();
        m_ui->clear();
        QString out;
        const QString escaped = escapedFrom([&] { out = condora::trimSpaces(input); });
        FUZZ_CHECK(escaped.isEmpty(), shown(input) + u": "_s + escaped);
        FUZZ_CHECK(m_ui->messages().isEmpty(), shown(input));
        FUZZ_CHECK(!withoutQuotesOrComments(input) || !out.contains("  "_L1), shown(input));
        FUZZ_CHECK(withoutSpaces(out) == withoutSpaces(input), shown(input));
        FUZZ_CHECK(out.startsWith(u' ') == input.startsWith(u' '), shown(input));
        FUZZ_CHECK(out.endsWith(u' ') == input.endsWith(u' '), shown(input));
        FUZZ_CHECK(input.contains("  "_L1) || out == input, shown(input));
    }
}

void TestFuzz::listSplitting()
{
    // One-character separators, with and without letter case; then longer and empty ones,
    // which split by their own rule (one character skipped) and are only checked for safety.
    const QStringList oneChar{u","_s, u"."_s, u" "_s, u"'"_s, u"["_s, u"a"_s, u"A"_s, u"k"_s, u"ß"_s, u"\t"_s,
                              u"日"_s, u";"_s, u"i"_s};
    const QStringList other{u" as "_s, u",,"_s, u"😀"_s, QString(), u" where "_s};
    Source source(2);
    Budget budget("listSplitting", 20000);
    for (int i = 0; budget.next(i); ++i) {
        const QString input = source.text();
        const bool single = source.chance(85);
        const QString separator = single ? source.pick(oneChar) : source.pick(other);
        const QString detail = shown(input) + u" at "_s + shown(separator);
        QStringList list{u"stale"_s, u"stale"_s, u"stale"_s};
        int count = -1;
        const QString escaped = escapedFrom([&] { count = splitStr(list, input, separator); });
        FUZZ_CHECK(escaped.isEmpty(), detail + u": "_s + escaped);
        FUZZ_CHECK(count >= 1 && count == list.size() - 1, detail);
        FUZZ_CHECK(list.at(0).isEmpty(), detail);
        if (!single) {
            continue;
        }
        const QString joined = list.mid(1).join(separator);
        FUZZ_CHECK(joined.compare(input, Qt::CaseInsensitive) == 0, detail);
        if (separator.toLower() == separator.toUpper()) {
            FUZZ_CHECK(joined == input, detail);
        }
        FUZZ_CHECK(count == (input.isEmpty() ? 1 : input.count(separator, Qt::CaseInsensitive) + 1), detail);
        for (int k = 1; k <= count; ++k) {
            FUZZ_CHECK(!list.at(k).contains(separator, Qt::CaseInsensitive), detail);
        }
    }
}

void TestFuzz::noRowsForm()
{
    Source source(3);
    Budget budget("noRowsForm", 20000);
    for (int i = 0; budget.next(i); ++i) {
        const QString input = source.statement();
        QString out;
        const QString escaped = escapedFrom([&] { out = probeSql(input); });
        FUZZ_CHECK(escaped.isEmpty(), shown(input) + u": "_s + escaped);
        FUZZ_CHECK(out.contains("1=0"_L1), shown(input));
        if (!plainStatement(input)) {
            continue;
        }

        const qsizetype orderBy = input.indexOf(" order by "_L1, 0, Qt::CaseInsensitive);
        const QString tail = orderBy < 0 ? QString() : input.mid(orderBy);
        const QString body = orderBy < 0 ? input : trimmedSpaces(input.left(orderBy));
        const QString inserted =
            body.contains(" where "_L1, Qt::CaseInsensitive) ? u" and 1=0 "_s : u" where 1=0 "_s;
        FUZZ_CHECK(out == body + inserted + tail, shown(input) + u" gave "_s + shown(out));
    }
}

void TestFuzz::statementCut()
{
    Source source(4);
    Budget budget("statementCut", 20000);
    for (int i = 0; budget.next(i); ++i) {
        const QString input = source.statement();
        StatementPieces pieces;
        int number = 0;
        QString escaped;
        try {
            pieces = cutStatement(input);
        } catch (const RuntimeError &error) {
            number = error.number();
        } catch (...) {
            escaped = u"something other than a RuntimeError"_s;
        }
        FUZZ_CHECK(escaped.isEmpty(), shown(input));
        FUZZ_CHECK(number == 0 || number == ErrorNumber::InvalidArgument, shown(input));
        if (!plainStatement(input)) {
            continue;
        }
        const bool hasFrom = input.contains(" from "_L1, Qt::CaseInsensitive);
        FUZZ_CHECK(hasFrom == (number == 0), shown(input));
        if (number == 0) {
            FUZZ_CHECK(!pieces.fromClause.contains(" where "_L1, Qt::CaseInsensitive), shown(input));
        }
    }
}

void TestFuzz::joinFlattening()
{
    const QStringList fromContexts{QString(), unrecognisedSqlContext()};
    Source source(5);
    Budget budget("joinFlattening", 10000);
    for (int i = 0; budget.next(i); ++i) {
        const QString input = source.text(16);

        m_ui->clear();
        QString flat;
        QString escaped = escapedFrom([&] { flat = flattenJoins(input); });
        FUZZ_CHECK(escaped.isEmpty(), shown(input) + u": "_s + escaped);
        FUZZ_CHECK(m_ui->messages().size() <= 1, shown(input));
        FUZZ_CHECK(badReport(*m_ui, {QString()}).isEmpty(), shown(input) + u": "_s + badReport(*m_ui, {QString()}));
        const bool flattenFailed = !m_ui->messages().isEmpty();
        if (flattenFailed) {
            budget.reported();
        }
        FUZZ_CHECK(!flattenFailed || flat.isEmpty(), shown(input));
        FUZZ_CHECK(!withoutQuotesOrComments(input) || !flat.contains(" cross join "_L1, Qt::CaseInsensitive),
                   shown(input));

        m_ui->clear();
        TableList tables{TableRef{u"stale"_s, u"stale"_s}};
        bool parsed = false;
        escaped = escapedFrom([&] { parsed = parseFromList(input, tables); });
        FUZZ_CHECK(escaped.isEmpty(), shown(input) + u": "_s + escaped);
        FUZZ_CHECK(m_ui->messages().size() <= 1, shown(input));
        FUZZ_CHECK(badReport(*m_ui, fromContexts).isEmpty(), shown(input) + u": "_s + badReport(*m_ui, fromContexts));
        if (parsed) {
            FUZZ_CHECK(m_ui->messages().isEmpty(), shown(input));
            QStringList items;
            const int n = splitSqlList(items, flat);
            FUZZ_CHECK(tables.size() == n + 1, shown(input));
            FUZZ_CHECK(tables.at(0) == TableRef(), shown(input));
        } else {
            // Only an empty flattened list fails without a report of its own.
            FUZZ_CHECK(!m_ui->messages().isEmpty() || flat.isEmpty(), shown(input));
        }
    }
}

void TestFuzz::selectList()
{
    Source source(6);
    Budget budget("selectList", 10000);
    for (int i = 0; budget.next(i); ++i) {
        // A hand-built catalog: 0 to 8 result columns with names as a database might report
        // them, and marker texts in the fields the parse must not touch.
        FieldCatalog catalog{ColumnInfo()};
        const int columns = source.below(9);
        for (int c = 1; c <= columns; ++c) {
            ColumnInfo column;
            column.colName = source.chance(70) ? source.pick(words) : source.text(3);
            column.tabAlias = u"marker"_s;
            column.typeClass = typeClassFromText(source.pick(typeClasses));
            catalog.append(column);
        }
        const FieldCatalog before = catalog;
        const QString input = source.chance(50) ? source.text(20) : source.statement();

        m_ui->clear();
        bool parsed = false;
        const QString escaped = escapedFrom([&] { parsed = parseSelectList(input, catalog); });
        FUZZ_CHECK(escaped.isEmpty(), shown(input) + u": "_s + escaped);
        // A leading DISTINCT or ALL belongs to the whole list, not to its first item. (Written
        // by hand: the random texts hold lone surrogates, which a regular expression refuses.)
        QString listText = input;
        {
            qsizetype at = 0;
            const auto white = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
            while (at < listText.size() && white(listText.at(at))) {
                ++at;
            }
            for (const QString word : {u"distinct"_s, u"all"_s}) {
                const qsizetype end = at + word.size();
                if (QStringView(listText).mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0
                    && end < listText.size() && (white(listText.at(end)) || u"(\"[`'"_s.contains(listText.at(end)))) {
                    listText = listText.mid(end);
                    break;
                }
            }
        }
        QStringList items;
        const int n = splitSqlList(items, listText);
        const QString detail = shown(input) + u" with %1 columns"_s.arg(columns);
        FUZZ_CHECK(catalog.size() == before.size() && catalog.at(0) == before.at(0), detail);
        FUZZ_CHECK(n <= columns || !parsed, detail);
        if (!parsed) {
            budget.reported();
            FUZZ_CHECK(m_ui->messages().size() == 1, detail);
            const QString bad = badReport(*m_ui, {unrecognisedSqlContext()});
            FUZZ_CHECK(bad.isEmpty(), detail + u": "_s + bad);
            continue;
        }
        FUZZ_CHECK(m_ui->messages().isEmpty(), detail);
        for (int c = 1; c <= columns; ++c) {
            const ColumnInfo &column = catalog.at(c);
            FUZZ_CHECK(column.colName == before.at(c).colName && column.typeClass == before.at(c).typeClass, detail);
            if (c > n) {
                FUZZ_CHECK(column == before.at(c), detail);
                continue;
            }
            FUZZ_CHECK(column.valueList == QStringList{QString()}, detail);
            // colExpr is the item (after its qualifier) or a leading part of it.
            QString item = trimmedSpaces(singleSpaced(items.at(c)));
            const qsizetype dot = item.indexOf(u'.');
            if (dot >= 0) {
                // A plain column whose only dot sits in its alias has no qualifier.
                FUZZ_CHECK(column.tabAlias == item.left(dot)
                               || (column.expression.isEmpty() && item.startsWith(column.tabAlias)),
                           detail);
                item = item.mid(dot + 1);
            } else {
                FUZZ_CHECK(column.tabAlias == u"marker"_s, detail);
            }
            // A plain column read by its tokens keeps its own name, wherever the first dot was.
            FUZZ_CHECK(item.startsWith(column.colExpr) || items.at(c).contains(column.colExpr),
                       detail + u" item "_s + shown(item));
        }
    }
}

void TestFuzz::typeClassWords()
{
    Source source(7);
    Budget budget("typeClassWords", 50000);
    for (int i = 0; budget.next(i); ++i) {
        const int number = i < 1000 ? i - 300 : int(source.raw());
        QString word;
        const QString escaped = escapedFrom([&] { word = typeClassText(typeClassOf(number)); });
        FUZZ_CHECK(escaped.isEmpty(), QString::number(number));
        FUZZ_CHECK(typeClasses.contains(word), QString::number(number) + u" gave "_s + shown(word));
    }
}

void TestFuzz::numberReading()
{
    // The number rule of the value readings, written out independently.
    static const QRegularExpression numberShape(u"^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?$"_s);
    Source source(8);
    Budget budget("numberReading", 30000);
    for (int i = 0; budget.next(i); ++i) {
        // Half the inputs follow the number rule exactly (and must be read), half are soup.
        QString input;
        const bool wellFormed = source.chance(50);
        if (wellFormed) {
            const auto digits = [&source](int min) {
                QString d;
                const int count = min + source.below(6);
                for (int k = 0; k < count; ++k) {
                    d += QChar(u'0' + source.below(10));
                }
                return d;
            };
            const QString sign = source.chance(30) ? source.pick({u"+"_s, u"-"_s}) : QString();
            if (source.chance(80)) {
                input = sign + digits(1) + (source.chance(50) ? u"."_s + digits(0) : QString());
            } else {
                input = sign + u"."_s + digits(1);
            }
            if (source.chance(30)) {
                input += source.pick({u"e"_s, u"E"_s}) + (source.chance(50) ? source.pick({u"+"_s, u"-"_s}) : QString())
                    + digits(1);
            }
            input = QString(source.below(3), u' ') + input + QString(source.below(3), u' ');
        } else {
            input = source.chance(80) ? source.numberSoup() : source.text(6);
        }

        bool readable = false;
        const QString escaped = escapedFrom([&] { readable = isReadableNumber(input); });
        FUZZ_CHECK(escaped.isEmpty(), shown(input) + u": "_s + escaped);
        FUZZ_CHECK(!wellFormed || readable, shown(input));
        if (readable) {
            // Only a plain numeric literal may ever be written bare into a statement.
            FUZZ_CHECK(numberShape.match(trimmedSpaces(input)).hasMatch(), shown(input));
        }
    }
}

void TestFuzz::dateReading()
{
    static const QRegularExpression dateShape(
        u"^(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})(?: (\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"_s);
    Source source(9);
    Budget budget("dateReading", 30000);
    for (int i = 0; budget.next(i); ++i) {
        // Half the inputs are real dates written by the date rule (and must be read back as
        // the same moment), half are soup.
        QString input;
        QDate date;
        QTime time(0, 0);
        const bool wellFormed = source.chance(50);
        if (wellFormed) {
            date = QDate(1, 1, 1).addDays(source.below(int(QDate(1, 1, 1).daysTo(QDate(9999, 12, 31))) + 1));
            const QString separator = source.pick({u"-"_s, u"/"_s, u"."_s});
            const auto field = [&source](int value) {
                return source.chance(50) ? u"%1"_s.arg(value, 2, 10, QLatin1Char('0')) : QString::number(value);
            };
            input = u"%1"_s.arg(date.year(), 4, 10, QLatin1Char('0')) + separator + field(date.month()) + separator
                + field(date.day());
            if (source.chance(40)) {
                time = QTime(source.below(24), source.below(60), source.chance(50) ? source.below(60) : 0);
                input += u' ' + field(time.hour()) + u':' + u"%1"_s.arg(time.minute(), 2, 10, QLatin1Char('0'));
                if (time.second() != 0 || source.chance(50)) {
                    input += u':' + u"%1"_s.arg(time.second(), 2, 10, QLatin1Char('0'));
                }
            }
            input = QString(source.below(3), u' ') + input + QString(source.below(3), u' ');
        } else {
            input = source.chance(85) ? source.dateSoup() : source.text(6);
        }

        std::optional<QDateTime> read;
        bool readable = false;
        const QString escaped = escapedFrom([&] {
            read = readDate(input);
            readable = isReadableDate(input);
        });
        FUZZ_CHECK(escaped.isEmpty(), shown(input) + u": "_s + escaped);
        FUZZ_CHECK(readable == read.has_value(), shown(input));
        FUZZ_CHECK(!wellFormed || (read && read->date() == date && read->time() == time), shown(input));
        if (read) {
            FUZZ_CHECK(read->isValid(), shown(input));
            const QRegularExpressionMatch match = dateShape.match(trimmedSpaces(input));
            FUZZ_CHECK(match.hasMatch(), shown(input));
            FUZZ_CHECK(read->date() == QDate(match.captured(1).toInt(), match.captured(3).toInt(),
                                             match.captured(4).toInt()),
                       shown(input));
            FUZZ_CHECK(read->time().hour() == match.captured(5).toInt()
                           && read->time().minute() == match.captured(6).toInt()
                           && read->time().second() == match.captured(7).toInt(),
                       shown(input));
        }
    }
}

void TestFuzz::composer()
{
    static const QStringList kinds{u"1"_s, u"2"_s, u"3"_s, u"99"_s, QString(), u"4"_s, u" 3"_s, u"３"_s};
    static const QStringList logicalWords{u" And "_s, u" Or"_s, QString(), u"And"_s, u" OR "_s, u" and"_s};
    static const QStringList cleanNames{u"a"_s, u"t"_s, u"x"_s, u"Customers"_s, u"[Order Details]"_s, u"id"_s,
                                        u"CompanyName"_s, u"Städte"_s};
    Source source(10);
    Budget budget("composer", 3000);
    for (int i = 0; budget.next(i); ++i) {
        // Well-formed rows: every row used, on a valid column position, and names and brackets
        // without quotes so that the literals can be counted.
        const bool wellFormed = source.chance(50);

        QueryRun run;
        run.fieldCatalog = FieldCatalog{ColumnInfo()};
        const int columns = 1 + source.below(6);
        for (int c = 1; c <= columns; ++c) {
            ColumnInfo column;
            column.tabAlias = wellFormed || source.chance(60) ? source.pick(cleanNames) : source.text(3);
            column.colExpr = wellFormed || source.chance(60) ? source.pick(cleanNames) : source.text(3);
            column.colName = column.colExpr;
            column.typeClass =
                typeClassFromText(wellFormed || source.chance(80) ? source.pick(typeClasses) : source.text(2));
            run.fieldCatalog.append(column);
        }
        const QString kindText = source.pick(kinds);
        run.dbKind = dbKindFromText(kindText);

        const QString base = source.statement();
        run.baseSql = base;
        const int rows = source.below(11);
        QList<ConditionRow> written;
        for (int r = 1; r <= rows; ++r) {
            QStringList cells(7);
            cells[0] = source.chance(70) ? source.pick({QString(), u"("_s}) : (wellFormed ? u" ( "_s : source.text(2));
            if (wellFormed) {
                cells[1] = source.pick(cleanNames);
                cells[2] = source.chance(90) ? source.pick(operatorWords) : trimmedSpaces(source.pick(operatorWords));
                cells[6] = QString::number(1 + source.below(columns));
                if (source.chance(20)) {
                    cells[6] = u" "_s + cells[6] + u" "_s;
                }
            } else {
                cells[1] = source.chance(70) ? source.pick(cleanNames) : source.pick({QString(), u"  "_s, u"\t"_s});
                cells[2] = source.chance(70) ? source.pick(operatorWords) : source.text(3);
                cells[6] = source.chance(70) ? QString::number(source.below(columns + 2))
                                             : source.pick({u"abc"_s, QString(), u"1.5"_s, u"-1"_s, u"\t1"_s,
                                                            u"99999999999"_s, u"1e2"_s});
            }
            cells[3] = source.value();
            cells[4] = source.chance(70) ? source.pick({QString(), u")"_s}) : (wellFormed ? u")"_s : source.text(2));
            cells[5] = wellFormed || source.chance(85) ? source.pick(logicalWords) : source.text(2);
            ConditionRow row;
            for (int c = 0; c < 7; ++c) {
                row.setCell(c, cells.at(c));
            }
            written.append(row);
        }

        std::optional<ComposedCondition> composed;
        bool failed = false;
        const QString escaped = escapedFrom([&] {
            try {
                composed = composeCondition(written, run);
            } catch (const RuntimeError &) {
                failed = true; // a row naming no catalog entry: the caller reports it
            }
        });
        const QString detail = u"base "_s + shown(base) + u", %1 rows, kind "_s.arg(rows) + shown(kindText);
        FUZZ_CHECK(escaped.isEmpty(), detail + u": "_s + escaped);
        if (failed) {
            budget.reported();
            FUZZ_CHECK(!wellFormed, detail);
            continue;
        }
        if (!composed) {
            continue;
        }
        const QString &condition = composed->condition;

        // The user's part reaches the statement only when it is complete on its own; otherwise
        // nothing is composed and the refusal says why.
        if (!composed->refusal.isEmpty()) {
            FUZZ_CHECK(composed->statement.isEmpty(), detail);
            continue;
        }
        FUZZ_CHECK(closesAtTopLevel(condition), detail + u" gave "_s + shown(condition));

        // On a statement the plain rules handle (and no OR to bracket): the base statement's
        // head, the condition after its join word, and the sort clause as written.
        FUZZ_CHECK(condition.isEmpty() || condition.startsWith(u' '), detail);
        static const QRegularExpression orWord(u"\\bor\\b"_s, QRegularExpression::CaseInsensitiveOption);
        const bool bracketed = base.contains(" where "_L1, Qt::CaseInsensitive)
            && (hasSurrogate(condition) || condition.contains(orWord));
        if (plainStatement(base) && !bracketed) {
            const qsizetype orderBy = base.indexOf(" order by "_L1, 0, Qt::CaseInsensitive);
            const QString head = orderBy < 0 ? base : trimmedSpaces(base.left(orderBy));
            const QString tail = orderBy < 0 ? QString() : base.mid(orderBy);
            const QString &result = composed->statement;
            FUZZ_CHECK(result.startsWith(head), detail + u" gave "_s + shown(result));
            FUZZ_CHECK(result.endsWith(tail), detail + u" gave "_s + shown(result));
            if (condition.isEmpty()) {
                FUZZ_CHECK(result == head + tail, detail + u" gave "_s + shown(result));
            } else {
                const QString joined = result.mid(head.size());
                FUZZ_CHECK(joined.startsWith(" where "_L1) || joined.startsWith(" and "_L1), detail);
                FUZZ_CHECK(result.size()
                               == head.size() + (joined.startsWith(" where "_L1) ? 7 : 5) + condition.size()
                                   + tail.size(),
                           detail + u" gave "_s + shown(result));
            }
        }
        if (wellFormed) {
            // Every value sits inside its literal: the apostrophes of the condition pair up.
            FUZZ_CHECK(condition.count(u'\'') % 2 == 0, detail + u" gave "_s + shown(condition));
        }

        // Used rows hold their trimmed operator and logical words; other rows are untouched.
        for (int r = 0; r < rows; ++r) {
            const ConditionRow &given = written.at(r);
            const bool used = !trimmedSpaces(given.column).isEmpty() && !trimmedSpaces(given.op).isEmpty();
            for (int c = 0; c < 7; ++c) {
                const bool trimmed = used && (c == 2 || c == 5);
                const QString expected = trimmed ? trimmedSpaces(given.cell(c)) : given.cell(c);
                FUZZ_CHECK(composed->rows.at(r).cell(c) == expected,
                           detail + u", row %1 cell %2: "_s.arg(r + 1).arg(c) + shown(composed->rows.at(r).cell(c)));
            }
        }
    }
}

CONDORA_TEST_MAIN(TestFuzz)

#include "tst_fuzz.moc"
