#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace condora {

/// One piece of a statement as SqlScanner reads it.
struct SqlToken
{
    enum Kind {
        Word,       ///< letters, digits, _ $ @ #: a keyword, a name or a number
        Literal,    ///< '...' with doubled quotes inside
        QuotedName, ///< "...", [...] or `...`
        Comment,    ///< -- to the end of the line (without the line break), or /* ... */
        Space,      ///< a run of spaces, tabs, carriage returns and line feeds
        Symbol,     ///< any other single character
    };
    Kind kind = Symbol;
    qsizetype start = 0;
    qsizetype length = 0;
    /// Parenthesis depth around the token; an opening and its closing parenthesis have the
    /// depth outside them, so everything at depth 0 is at the top level of the statement.
    int depth = 0;
    /// False for a literal, quoted name or block comment that runs to the end of the text
    /// without its closing character.
    bool closed = true;

    qsizetype end() const { return start + length; }
    /// Anything but white space and comments.
    bool isCode() const { return kind != Space && kind != Comment; }
};

/// Reads a statement once into tokens, so that the cutting rules can look for keywords and
/// separators at the top level only: never inside literals, quoted names, comments or
/// parentheses, and with any white space between the words of a keyword. Positions are
/// 0-based character indexes into the text. Unterminated literals, names and comments run
/// to the end of the text.
class SqlScanner
{
public:
    explicit SqlScanner(const QString &text);

    const QString &text() const { return m_text; }
    const QList<SqlToken> &tokens() const { return m_tokens; }

    struct Match
    {
        qsizetype start = -1; ///< first character of the keyword's first word
        qsizetype end = -1;   ///< one past the keyword's last word
        int keyword = -1;     ///< index into the searched list
        bool found() const { return start >= 0; }
    };

    /// The first top-level keyword out of `keywords` (each one or more words separated by
    /// single spaces, e.g. "order by") that starts at or after `from` and ends at or before
    /// `to` (-1: the end of the text). Words match whole words, in any letter case. When
    /// several keywords start at the same word the longest wins ("left outer join" over
    /// "left join").
    Match findKeyword(const QStringList &keywords, qsizetype from = 0, qsizetype to = -1) const;

    /// Positions of `symbol` at the top level, in [from, to).
    QList<qsizetype> findSymbols(QChar symbol, qsizetype from = 0, qsizetype to = -1) const;

    /// One past the last code character before `position`; `from` when there is none from there.
    qsizetype codeEndBefore(qsizetype position, qsizetype from = 0) const;
    /// The first code character at or after `position`; the text's length when there is none.
    qsizetype codeStartFrom(qsizetype position) const;
    /// True when a comment lies in [from, to).
    bool hasComment(qsizetype from, qsizetype to) const;

private:
    qsizetype firstTokenFrom(qsizetype position) const;

    QString m_text;
    QList<SqlToken> m_tokens;
};

/// True when `text`, read on its own, is complete at its top level: every ")" closes a "("
/// before it, every "(" is closed, every literal and quoted name ends, and it holds no comment
/// and no ";". Spliced after WHERE or AND, such a text cannot reach the statement's own level:
/// nothing of it closes a bracket of the statement, comments out its rest or ends it.
bool closesAtTopLevel(const QString &text);

/// Where engines read the comments of `text` differently, a short description of the first such
/// place ("a line comment ended by a lone carriage return", "a block comment inside a block
/// comment"), else empty. SQLite ends a line comment only at a line feed, PostgreSQL also at a
/// carriage return; PostgreSQL nests block comments, SQLite and most others do not. A
/// condition spliced into such a statement could land inside a comment for one of them.
QString ambiguousComment(const QString &text);

/// A name as written, without its quotes ("Name", [Name], `Name`); any other text as it is.
QString unquotedName(const QString &name);

/// True when `text` has `keyword` at its top level (e.g. an OR outside any parentheses).
bool hasTopLevelKeyword(const QString &text, const QString &keyword);

/// `text` with each run of white space and comments outside literals and quoted names
/// replaced by one space; literals and quoted names stay as written.
QString singleSpaced(const QString &text);

/// Splits an SQL list at its top-level commas (not those inside parentheses, literals, quoted
/// names or comments), in the shape of splitStr: pieces untrimmed at positions 1..count of
/// `list`, position 0 empty; returns the count. An empty text gives one empty piece.
int splitSqlList(QStringList &list, const QString &text);

} // namespace condora
