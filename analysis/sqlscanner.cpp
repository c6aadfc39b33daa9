#include "analysis/sqlscanner.h"

#include <QCoreApplication>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

bool isWhiteSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == u'_' || c == u'$' || c == u'@' || c == u'#';
}

// One past the closing character of a quoted piece that opens at `start`; a doubled closing
// character stands for itself. The end of the text when it is never closed (`closed` false).
qsizetype quotedEnd(const QString &text, qsizetype start, QChar closing, bool *closed)
{
    *closed = true;
    const qsizetype size = text.size();
    qsizetype i = start + 1;
    while (i < size) {
        if (text.at(i) == closing) {
            if (i + 1 < size && text.at(i + 1) == closing) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    *closed = false;
    return size;
}

} // namespace

SqlScanner::SqlScanner(const QString &text)
    : m_text(text)
{
    const qsizetype size = text.size();
    // About one token in four characters in a select list ("c12, "): grown once, not by steps.
    m_tokens.reserve(size / 4 + 4);
    int depth = 0;
    qsizetype i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < size ? text.at(i + 1) : QChar();
        SqlToken token;
        token.start = i;
        qsizetype end = i + 1;
        if (isWhiteSpace(c)) {
            token.kind = SqlToken::Space;
            while (end < size && isWhiteSpace(text.at(end))) {
                ++end;
            }
        } else if (c == u'-' && next == u'-') {
            token.kind = SqlToken::Comment;
            end = i + 2;
            while (end < size && text.at(end) != u'\n' && text.at(end) != u'\r') {
                ++end;
            }
        } else if (c == u'/' && next == u'*') {
            token.kind = SqlToken::Comment;
            const qsizetype close = text.indexOf("*/"_L1, i + 2);
            end = close < 0 ? size : close + 2;
            token.closed = close >= 0;
        } else if (c == u'\'') {
            token.kind = SqlToken::Literal;
            end = quotedEnd(text, i, u'\'', &token.closed);
        } else if (c == u'"' || c == u'`') {
            token.kind = SqlToken::QuotedName;
            end = quotedEnd(text, i, c, &token.closed);
        } else if (c == u'[') {
            token.kind = SqlToken::QuotedName;
            end = quotedEnd(text, i, u']', &token.closed);
        } else if (isWordCharacter(c)) {
            token.kind = SqlToken::Word;
            while (end < size && isWordCharacter(text.at(end))) {
                ++end;
            }
        } else {
            token.kind = SqlToken::Symbol;
            if (c == u')' && depth > 0) {
                --depth;
            }
        }
        token.length = end - i;
        token.depth = depth;
        if (token.kind == SqlToken::Symbol && c == u'(') {
            ++depth;
        }
        m_tokens.append(token);
        i = end;
    }
}

qsizetype SqlScanner::firstTokenFrom(qsizetype position) const
{
    const auto it = std::lower_bound(m_tokens.cbegin(), m_tokens.cend(), position,
                                     [](const SqlToken &token, qsizetype p) { return token.start < p; });
    return it - m_tokens.cbegin();
}

SqlScanner::Match SqlScanner::findKeyword(const QStringList &keywords, qsizetype from, qsizetype to) const
{
    if (to < 0) {
        to = m_text.size();
    }
    QList<QStringList> words;
    for (const QString &keyword : keywords) {
        words.append(keyword.split(u' ', Qt::SkipEmptyParts));
    }
    const qsizetype count = m_tokens.size();
    for (qsizetype t = firstTokenFrom(from); t < count && m_tokens.at(t).start < to; ++t) {
        const SqlToken &first = m_tokens.at(t);
        if (first.kind != SqlToken::Word || first.depth != 0) {
            continue;
        }
        Match best;
        for (int k = 0; k < words.size(); ++k) {
            const QStringList &keyword = words.at(k);
            qsizetype u = t;
            qsizetype end = -1;
            for (qsizetype w = 0; w < keyword.size(); ++w) {
                // Between two words of a keyword: one run of white space.
                if (w > 0) {
                    if (u + 2 >= count || m_tokens.at(u + 1).kind != SqlToken::Space) {
                        end = -1;
                        break;
                    }
                    u += 2;
                }
                const SqlToken &token = m_tokens.at(u);
                if (token.kind != SqlToken::Word
                    || QStringView(m_text).mid(token.start, token.length).compare(keyword.at(w), Qt::CaseInsensitive)
                        != 0) {
                    end = -1;
                    break;
                }
                end = token.end();
            }
            if (end > 0 && end <= to && (!best.found() || end > best.end)) {
                best = Match{first.start, end, k};
            }
        }
        if (best.found()) {
            return best;
        }
    }
    return Match();
}

QList<qsizetype> SqlScanner::findSymbols(QChar symbol, qsizetype from, qsizetype to) const
{
    if (to < 0) {
        to = m_text.size();
    }
    QList<qsizetype> positions;
    for (qsizetype t = firstTokenFrom(from); t < m_tokens.size() && m_tokens.at(t).start < to; ++t) {
        const SqlToken &token = m_tokens.at(t);
        if (token.kind == SqlToken::Symbol && token.depth == 0 && m_text.at(token.start) == symbol) {
            positions.append(token.start);
        }
    }
    return positions;
}

qsizetype SqlScanner::codeEndBefore(qsizetype position, qsizetype from) const
{
    for (qsizetype t = firstTokenFrom(position) - 1; t >= 0; --t) {
        const SqlToken &token = m_tokens.at(t);
        if (token.end() <= from) {
            break;
        }
        if (token.isCode()) {
            return std::min(token.end(), position);
        }
    }
    return from;
}

qsizetype SqlScanner::codeStartFrom(qsizetype position) const
{
    for (qsizetype t = firstTokenFrom(position); t < m_tokens.size(); ++t) {
        if (m_tokens.at(t).isCode()) {
            return m_tokens.at(t).start;
        }
    }
    return m_text.size();
}

bool SqlScanner::hasComment(qsizetype from, qsizetype to) const
{
    for (qsizetype t = firstTokenFrom(from); t < m_tokens.size() && m_tokens.at(t).start < to; ++t) {
        if (m_tokens.at(t).kind == SqlToken::Comment) {
            return true;
        }
    }
    return false;
}

bool closesAtTopLevel(const QString &text)
{
    int depth = 0;
    const SqlScanner scanner(text);
    for (const SqlToken &token : scanner.tokens()) {
        if (!token.closed || token.kind == SqlToken::Comment) {
            return false;
        }
        if (token.kind != SqlToken::Symbol) {
            continue;
        }
        const QChar c = text.at(token.start);
        if (c == u';') {
            return false;
        }
        if (c == u'(') {
            ++depth;
        } else if (c == u')' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

QString ambiguousComment(const QString &text)
{
    const SqlScanner scanner(text);
    for (const SqlToken &token : scanner.tokens()) {
        if (token.kind != SqlToken::Comment) {
            continue;
        }
        const QStringView comment = QStringView(text).mid(token.start, token.length);
        if (comment.startsWith(u"--")) {
            const qsizetype end = token.end();
            if (end < text.size() && text.at(end) == u'\r' && (end + 1 >= text.size() || text.at(end + 1) != u'\n')) {
                return QCoreApplication::translate("condora::SqlScanner", "a line comment ended by a lone carriage return");
            }
        } else if (comment.mid(2).contains(u"/*")) {
            return QCoreApplication::translate("condora::SqlScanner", "a block comment inside a block comment");
        }
    }
    return QString();
}

QString unquotedName(const QString &name)
{
    if (name.size() >= 2
        && ((name.front() == u'"' && name.back() == u'"') || (name.front() == u'[' && name.back() == u']')
            || (name.front() == u'`' && name.back() == u'`'))) {
        return name.mid(1, name.size() - 2);
    }
    return name;
}

bool hasTopLevelKeyword(const QString &text, const QString &keyword)
{
    return SqlScanner(text).findKeyword({keyword}).found();
}

QString singleSpaced(const QString &text)
{
    const SqlScanner scanner(text);
    QString result;
    result.reserve(text.size());
    bool inGap = false;
    for (const SqlToken &token : scanner.tokens()) {
        if (!token.isCode()) {
            if (!inGap) {
                result += u' ';
            }
            inGap = true;
            continue;
        }
        inGap = false;
        result += QStringView(text).mid(token.start, token.length);
    }
    return result;
}

int splitSqlList(QStringList &list, const QString &text)
{
    list = QStringList{QString()};
    qsizetype start = 0;
    for (const qsizetype comma : SqlScanner(text).findSymbols(u',')) {
        list.append(text.mid(start, comma - start));
        start = comma + 1;
    }
    list.append(text.mid(start));
    return int(list.size() - 1);
}

} // namespace condora
