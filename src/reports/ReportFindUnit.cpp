// The find term of a report's WHERE clause (see ReportFindUnit.h).
#include "ReportFindUnit.h"

#include "db/DbEngineUnit.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace {

// Joins the text columns of a row into one text on SQLite and PostgreSQL, so that a row is
// matched once instead of once a column. A pattern never matches across it unless the find
// text holds it; such a text is matched column by column.
constexpr char32_t kColumnSeparator = 0x1F;

struct TFoldRange {
    char32_t First, Last; // capitals
    char32_t Offset;      // to their small letters
};
// Latin (ASCII and Latin-1), Cyrillic: capitals a fixed distance before their small letters.
constexpr TFoldRange kFoldRanges[] = {
    {U'A', U'Z', 0x20}, {0xC0, 0xD6, 0x20}, {0xD8, 0xDE, 0x20}, {0x410, 0x42F, 0x20}, {0x400, 0x40F, 0x50},
};
// Cyrillic letters of older and other alphabets (Ѣ, Ѫ, …): capital even, small letter odd.
constexpr char32_t kPairedFirst = 0x460, kPairedLast = 0x481;

// The text's characters, a NUL left out (no stored text holds one, PostgreSQL cannot
// take one).
std::vector<char32_t> CodePoints(const QString& text)
{
    std::vector<char32_t> codes;
    for (char32_t c : text.toUcs4())
        if (c != 0)
            codes.push_back(c);
    return codes;
}

// Calls `literal(c)` for every character matched as itself and `both(small, capital)` for
// every letter matched in either case.
template <class Literal, class Both>
void ForEachPatternPart(const std::vector<char32_t>& needle, Literal literal, Both both)
{
    for (char32_t c : needle) {
        const char32_t small = TReportFind::Fold(c);
        const char32_t capital = TReportFind::Capital(small);
        if (capital != 0)
            both(small, capital);
        else
            literal(c);
    }
}

QString ColumnName(const TReportColumn& column) { return QString::fromUtf16(column.Column); }

QStringList TextColumns(const TReportDef& def)
{
    QStringList names;
    for (int i = 0; i < def.ColumnCount; ++i)
        if (def.Columns[i].Role == TColumnRole::Text)
            names << ColumnName(def.Columns[i]);
    return names;
}

// ---- SQLite: GLOB (case-sensitive whatever the pragmas), the pattern as char(...) -------

QString SqliteTerm(const QStringList& columns, const std::vector<char32_t>& needle, bool joined)
{
    std::vector<char32_t> pattern{U'*'};
    ForEachPatternPart(
        needle,
        [&](char32_t c) {
            if (c == U'*' || c == U'?' || c == U'[')
                pattern.insert(pattern.end(), {U'[', c, U']'});
            else
                pattern.push_back(c);
        },
        [&](char32_t small, char32_t capital) { pattern.insert(pattern.end(), {U'[', small, capital, U']'}); });
    pattern.push_back(U'*');
    // char() takes a bounded number of arguments: a long pattern is joined from pieces.
    constexpr size_t kCodesPerCall = 100;
    QStringList calls;
    for (size_t i = 0; i < pattern.size(); i += kCodesPerCall) {
        QStringList codes;
        for (size_t j = i; j < std::min(pattern.size(), i + kCodesPerCall); ++j)
            codes << QString::number(quint32(pattern[j]));
        calls << QStringLiteral("char(") + codes.join(u',') + u')';
    }
    const QString glob = QStringLiteral(" GLOB ") + calls.join(QStringLiteral("||"));
    QStringList casts;
    for (const QString& column : columns)
        casts << QStringLiteral("CAST(%1 AS TEXT)").arg(column);
    if (joined) {
        QStringList parts;
        for (const QString& cast : casts)
            parts << QStringLiteral("coalesce(%1,'')").arg(cast);
        return u'(' + parts.join(QStringLiteral("||char(31)||")) + u')' + glob;
    }
    QStringList terms;
    for (const QString& cast : casts)
        terms << cast + glob;
    return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
}

// ---- PostgreSQL: a regular expression (case-sensitive), decoded from hex on the server --

QString PostgresTerm(const QStringList& columns, const std::vector<char32_t>& needle, bool joined)
{
    std::vector<char32_t> pattern;
    ForEachPatternPart(
        needle,
        [&](char32_t c) {
            // A backslash before an ASCII character that is not a letter or digit makes it
            // stand for itself; other characters are no operators.
            const bool alnum = (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
            if (c < 0x80 && !alnum)
                pattern.push_back(U'\\');
            pattern.push_back(c);
        },
        [&](char32_t small, char32_t capital) { pattern.insert(pattern.end(), {U'[', small, capital, U']'}); });
    const QByteArray utf8 = QString::fromUcs4(pattern.data(), qsizetype(pattern.size())).toUtf8();
    // Evaluated once for the statement, as its own plan.
    const QString regex = QStringLiteral(" OPERATOR(pg_catalog.~) (SELECT pg_catalog.convert_from("
                                         "pg_catalog.decode('%1', 'hex'), 'UTF8'))")
                              .arg(QString::fromLatin1(utf8.toHex()));
    // The "C" collation: a column of a collation that regular expressions refuse (a
    // nondeterministic one) is searched all the same; the pattern needs no locale.
    if (joined)
        return QStringLiteral("pg_catalog.concat_ws(pg_catalog.chr(31), %1) COLLATE pg_catalog.\"C\"")
                   .arg(columns.join(QStringLiteral(", "))) +
               regex;
    QStringList terms;
    for (const QString& column : columns)
        terms << QStringLiteral("CAST(%1 AS text) COLLATE pg_catalog.\"C\"").arg(column) + regex;
    return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
}

// ---- SQL Anywhere: LIKE with [ ] classes, the quote and backslash as CHAR() --------------

QString SqlAnywhereTerm(const QStringList& columns, const std::vector<char32_t>& needle)
{
    std::vector<char32_t> pattern{U'%'};
    ForEachPatternPart(
        needle,
        [&](char32_t c) {
            if (c == U'%' || c == U'_' || c == U'[')
                pattern.insert(pattern.end(), {U'[', c, U']'});
            else
                pattern.push_back(c);
        },
        [&](char32_t small, char32_t capital) { pattern.insert(pattern.end(), {U'[', small, capital, U']'}); });
    pattern.push_back(U'%');
    QString literal = QStringLiteral("'");
    for (char32_t c : pattern) {
        if (c == U'\'' || c == U'\\')
            literal += QStringLiteral("'||CHAR(%1)||'").arg(quint32(c));
        else
            literal += QString::fromUcs4(&c, 1);
    }
    literal += u'\'';
    QStringList terms;
    for (const QString& column : columns)
        terms << QStringLiteral("CAST(%1 AS LONG VARCHAR) LIKE ").arg(column) + literal;
    return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
}

} // namespace

char32_t TReportFind::Fold(char32_t c)
{
    for (const TFoldRange& r : kFoldRanges)
        if (c >= r.First && c <= r.Last)
            return c + r.Offset;
    if (c >= kPairedFirst && c <= kPairedLast && c % 2 == 0)
        return c + 1;
    return c;
}

char32_t TReportFind::Capital(char32_t c)
{
    for (const TFoldRange& r : kFoldRanges)
        if (c >= r.First + r.Offset && c <= r.Last + r.Offset)
            return c - r.Offset;
    if (c >= kPairedFirst && c <= kPairedLast && c % 2 == 1)
        return c - 1;
    return 0;
}

QString TReportFind::WhereTerm(const TDbEngine& engine, const TReportDef& def, const QString& text)
{
    const std::vector<char32_t> needle = CodePoints(text);
    const QStringList columns = TextColumns(def);
    if (needle.empty() || columns.isEmpty())
        return {};
    const bool joined = std::find(needle.begin(), needle.end(), kColumnSeparator) == needle.end();
    switch (engine.Find) {
    case TFindForm::SqliteGlob:
        return SqliteTerm(columns, needle, joined);
    case TFindForm::PostgresRegex:
        return PostgresTerm(columns, needle, joined);
    case TFindForm::SqlAnywhereLike:
        break;
    }
    return SqlAnywhereTerm(columns, needle);
}

QString TReportFind::Words(const TReportFilters& filters)
{
    if (filters.FindText.isEmpty())
        return {};
    return QStringLiteral("Търсене: „%1“").arg(filters.FindText);
}
