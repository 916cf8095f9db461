#pragma once
// Finding a text in a report: the term of the WHERE clause that keeps the rows whose text
// columns hold the text, in a form no setting of the database changes, and the find in
// words for the summary bar.
//
// The text is a plain substring: no character of it is a wildcard. Latin and Cyrillic
// capitals match their small letters on every engine, whatever the database's locale: each
// such letter of the text becomes a class of both cases in a case-sensitive pattern (GLOB
// on SQLite, a regular expression on PostgreSQL, LIKE's [ ] on SQL Anywhere), so the
// engine folds nothing. The pattern reaches SQL as character codes (SQLite), as hex of its
// UTF-8 bytes decoded on the server (PostgreSQL), or as a literal whose quote and
// backslash are spelled as CHAR() (SQL Anywhere): never as the text itself.

#include "RepositoryUnit.h"

#include <QString>
#include <QStringView>

struct TDbEngine;

class TReportFind {
public:
    // The small letter of a Latin or Cyrillic capital; any other character as it is.
    static char32_t Fold(char32_t c);
    // The capital of a small letter Fold makes; 0 for any other character.
    static char32_t Capital(char32_t c);

    // " AND "-able term over the report's text columns (each cast to text, so that a view
    // holding a number there is searched in its digits); empty when `text` is.
    static QString WhereTerm(const TDbEngine& engine, const TReportDef& def, const QString& text);

    // "Търсене: „кафе“"; empty without a find text.
    static QString Words(const TReportFilters& filters);
};
