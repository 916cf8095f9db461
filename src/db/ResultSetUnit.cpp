// The result set of a statement: description, row storage and block fetch (see ResultSetUnit.h).
#include "ResultSetUnit.h"

#include "ReadAheadUnit.h"

#include <algorithm>

#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sqlucode.h>

namespace {

// Widest text column that is bound into a row array; wider ones are read with SQLGetData.
constexpr SQLULEN kMaxBoundChars = 4000;

struct TTypeInfo {
    TFieldType Type;
    SQLSMALLINT CType;
};

TTypeInfo MapSqlType(SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits, bool isUnsigned)
{
    switch (sqlType) {
    case SQL_CHAR: return {ftFixedChar, SQL_C_WCHAR};
    case SQL_WCHAR: return {ftFixedWideChar, SQL_C_WCHAR};
    case SQL_VARCHAR: return {ftString, SQL_C_WCHAR};
    case SQL_WVARCHAR: return {ftWideString, SQL_C_WCHAR};
    case SQL_LONGVARCHAR: return {ftMemo, SQL_C_WCHAR};
    case SQL_WLONGVARCHAR: return {ftWideMemo, SQL_C_WCHAR};
    case SQL_GUID: return {ftGuid, SQL_C_WCHAR};
    case SQL_TINYINT: return {isUnsigned ? ftByte : ftShortint, SQL_C_SBIGINT};
    case SQL_SMALLINT: return {isUnsigned ? ftWord : ftSmallint, SQL_C_SBIGINT};
    case SQL_INTEGER: return {isUnsigned ? ftLongWord : ftInteger, SQL_C_SBIGINT};
    case SQL_BIGINT: return {ftLargeint, SQL_C_SBIGINT};
    case SQL_BIT: return {ftBoolean, SQL_C_BIT};
    case SQL_REAL: return {ftSingle, SQL_C_DOUBLE};
    case SQL_FLOAT:
    case SQL_DOUBLE: return {ftFloat, SQL_C_DOUBLE};
    case SQL_NUMERIC:
    case SQL_DECIMAL: return {(size <= 18 && digits <= 4) ? ftBCD : ftFMTBcd, SQL_C_CHAR};
    case SQL_TYPE_DATE:
    case SQL_DATE: return {ftDate, SQL_C_TYPE_DATE};
    case SQL_TYPE_TIME:
    case SQL_TIME: return {ftTime, SQL_C_TYPE_TIME};
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return {ftDateTime, SQL_C_TYPE_TIMESTAMP};
    case SQL_BINARY: return {ftBytes, SQL_C_BINARY};
    case SQL_VARBINARY: return {ftVarBytes, SQL_C_BINARY};
    case SQL_LONGVARBINARY: return {ftBlob, SQL_C_BINARY};
    default: return {ftString, SQL_C_WCHAR};
    }
}

// "view.column" -> "column" when both parts are plain identifiers; captions are left alone.
QString UnqualifiedName(const QString& name)
{
    static const QRegularExpression qualified(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*\\.([A-Za-z_][A-Za-z0-9_]*)$"));
    const QRegularExpressionMatch m = qualified.match(name);
    return m.hasMatch() ? m.captured(1) : name;
}

// A column name the server cut to `limit` bytes (at a character boundary) is given back in
// full from the quoted identifier of the statement that begins with it.
QString UncutIdentifier(const QString& name, const QString& sql, int limit)
{
    const qsizetype bytes = name.toUtf8().size();
    if (bytes < limit - 3 || bytes > limit)
        return name;
    const QString start = QLatin1Char('"') + name;
    for (qsizetype at = sql.indexOf(start); at >= 0; at = sql.indexOf(start, at + 1)) {
        QString full;
        qsizetype i = at + 1;
        for (; i < sql.size(); ++i) {
            if (sql[i] == QLatin1Char('"')) {
                if (i + 1 < sql.size() && sql[i + 1] == QLatin1Char('"')) {
                    full += QLatin1Char('"');
                    ++i;
                    continue;
                }
                break;
            }
            full += sql[i];
        }
        if (i < sql.size() && full.size() > name.size())
            return full;
    }
    return name;
}

SQLLEN TerminatorSize(SQLSMALLINT cType) { return cType == SQL_C_WCHAR ? 2 : cType == SQL_C_CHAR ? 1 : 0; }

// A value read in pieces with SQLGetData, as text.
QString DecodeLong(SQLSMALLINT cType, const QByteArray& all)
{
    switch (cType) {
    case SQL_C_WCHAR: return QString::fromUtf16(reinterpret_cast<const char16_t*>(all.constData()), all.size() / 2);
    case SQL_C_CHAR: return QString::fromUtf8(all);
    default: return QString::fromLatin1(all.toHex().toUpper());
    }
}

// psqlODBC writes a date or time stamp it cannot carry as another one: infinity as
// "9999-12-31 23:59:59", -infinity as "9999-01-01 00:00:00 BC" or "0000-00-00", a year past
// 9999 as its first four digits with month and day "00". Such a text is checked against
// the number the driver reads from the start of the server's own text. Read on every
// temporal cell: the bytes are looked at, nothing is made of them.
bool DriverTemporalSuspect(const TColumn& col, std::string_view text)
{
    if (col.Type == ftTime)
        return false; // a time is passed on as the server wrote it
    if (text.starts_with("9999-") || text.starts_with("0000-"))
        return true;
    return text.size() >= 10 && text[4] == '-' && (text.substr(5, 2) == "00" || text.substr(8, 2) == "00");
}

// The engine's own text of a value the driver made up, from the number it reads from the
// start of the server's text (the year, or an infinity); empty when the text was right.
QString ServerTemporalText(std::string_view text, double number)
{
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("infinity") : QStringLiteral("-infinity");
    long long year = 0;
    std::from_chars(text.data(), text.data() + text.size(), year);
    if (std::isnan(number) || static_cast<long long>(number) == year)
        return {};
    return QStringLiteral("година %1 (ODBC драйверът не предава месеца и деня)")
        .arg(static_cast<long long>(number));
}

// Reads the number the driver makes of the column's server text, for ServerTemporalText.
bool ReadServerNumber(SQLHSTMT stmt, int c, double& number)
{
    SQLLEN ind = 0;
    const SQLRETURN rc = SQLGetData(stmt, SQLUSMALLINT(c + 1), SQL_C_DOUBLE, &number, 0, &ind);
    return SQL_SUCCEEDED(rc) && ind != SQL_NULL_DATA;
}

} // namespace

int DefaultDisplayWidth(TFieldType t, int size, int scale, int nameLength)
{
    switch (t) {
    case ftShortint: case ftByte: return 4;
    case ftSmallint: case ftWord: return 6;
    case ftInteger: case ftLongWord: case ftAutoInc: return 11;
    case ftLargeint: return 20;
    case ftBoolean: return 5;
    case ftSingle: case ftFloat: case ftExtended: case ftCurrency: return 15;
    case ftBCD: case ftFMTBcd: return size + (scale > 0 ? 2 : 1);
    case ftDate: return 10;
    case ftTime: return 8;
    case ftDateTime: case ftTimeStamp: return 19;
    case ftGuid: return 38;
    default: return size > 0 ? size : std::max(nameLength, 10);
    }
}

TRunResult::TRunResult() = default;
TRunResult::~TRunResult() = default;

void DescribeColumns(TRunResult& run, const TOdbcConnection& connection, const QString& sql)
{
    SQLHSTMT stmt = run.Stmt.get();
    SQLSMALLINT count = 0;
    OdbcCheck(SQLNumResultCols(stmt, &count), SQL_HANDLE_STMT, stmt, "SQLNumResultCols");
    run.HasResult = count > 0;
    run.Columns.resize(size_t(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        TColumn& col = run.Columns[size_t(i)];
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLen = 0, nullable = 0;
        OdbcCheck(SQLDescribeColW(stmt, SQLUSMALLINT(i + 1), name, SQLSMALLINT(std::size(name)), &nameLen,
                                  &col.SqlType, &col.ColSize, &col.Digits, &nullable),
                  SQL_HANDLE_STMT, stmt, "SQLDescribeCol");
        // The SQLite driver (through the driver manager's conversion) reports the name's
        // length in bytes, not characters: the name ends at its terminating zero.
        const qsizetype len = std::min<qsizetype>(nameLen, qsizetype(std::size(name)) - 1);
        col.Name = QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                      std::find(name, name + len, SQLWCHAR(0)) - name);
        if (connection.QualifiedColumnNames())
            col.Name = UnqualifiedName(col.Name);
        if (connection.IdentifierByteLimit() > 0)
            col.Name = UncutIdentifier(col.Name, sql, connection.IdentifierByteLimit());
        SQLLEN isUnsigned = SQL_FALSE;
        SQLColAttributeW(stmt, SQLUSMALLINT(i + 1), SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
        const bool numeric = col.SqlType == SQL_TINYINT || col.SqlType == SQL_SMALLINT ||
                             col.SqlType == SQL_INTEGER;
        TTypeInfo ti = MapSqlType(col.SqlType, col.ColSize, col.Digits, numeric && isUnsigned == SQL_TRUE);
        col.Type = ti.Type;
        col.CType = ti.CType;
        switch (col.CType) {
        case SQL_C_SBIGINT: col.ElemSize = sizeof(qint64); break;
        case SQL_C_DOUBLE: col.ElemSize = sizeof(double); break;
        case SQL_C_BIT: col.ElemSize = 1; break;
        case SQL_C_TYPE_DATE: col.ElemSize = sizeof(SQL_DATE_STRUCT); break;
        case SQL_C_TYPE_TIME: col.ElemSize = sizeof(SQL_TIME_STRUCT); break;
        case SQL_C_TYPE_TIMESTAMP: col.ElemSize = sizeof(SQL_TIMESTAMP_STRUCT); break;
        case SQL_C_CHAR: // decimals: digits, sign, point, exponent; a longer one is read again
            col.ElemSize = SQLLEN(std::clamp<SQLULEN>(col.ColSize, 1, 100) + 8);
            col.Text = true;
            break;
        case SQL_C_BINARY:
        case SQL_C_WCHAR: {
            col.Text = true;
            SQLULEN chars = col.ColSize;
            if (chars == 0 || chars > kMaxBoundChars || col.Type == ftMemo || col.Type == ftWideMemo ||
                col.Type == ftBlob)
                run.Mode = fmGetData;
            chars = std::clamp<SQLULEN>(chars, 1, kMaxBoundChars);
            if (col.CType == SQL_C_BINARY) {
                col.ElemSize = SQLLEN(chars);
            } else if (connection.NarrowText()) {
                // The driver's own UTF-8, without the driver manager's conversion.
                col.CType = SQL_C_CHAR;
                col.ElemSize = SQLLEN(std::max<SQLULEN>(chars * 3, 15) + 1);
            } else {
                col.ElemSize = SQLLEN((chars + 1) * 2);
            }
            break;
        }
        }
    }
    for (TColumn& col : run.Columns) {
        if (IsTemporalFieldType(col.Type) && (connection.TemporalAsText() || connection.TypedAsText())) {
            col.CType = SQL_C_CHAR;
            col.ElemSize = 48; // "yyyy-MM-dd hh:mm:ss.ffffff+zz:zz BC" and room to spare
            col.TemporalText = true;
        } else if (connection.TypedAsText() && !col.Text &&
                   (col.CType == SQL_C_SBIGINT || col.CType == SQL_C_DOUBLE || col.CType == SQL_C_BIT)) {
            col.CType = SQL_C_CHAR;
            col.ElemSize = 40; // "-1.7976931348623157e+308"; a longer stored text is read again
            col.NumberText = true;
        }
        col.TemporalChecked = col.TemporalText && !connection.TypedAsText();
        // Whatever a typed value's text is, it is read whole like any text.
        if (connection.TypedAsText() && (col.TemporalText || col.NumberText))
            col.Text = true;
        col.NullChecked = connection.CheckTypedNulls() && !col.Text;
    }
    // Row layout: value slots aligned to 8 bytes, then the indicator.
    size_t offset = 0;
    for (TColumn& col : run.Columns) {
        col.Offset = offset;
        offset += (size_t(col.ElemSize) + 7) & ~size_t(7);
        col.IndOffset = offset;
        offset += sizeof(SQLLEN);
    }
    run.RowSize = std::max<size_t>(offset, 8);
}

namespace {

// Reads the whole value of column `c` of the current row in pieces.
QByteArray ReadWhole(SQLHSTMT stmt, int c, SQLSMALLINT cType)
{
    QByteArray all;
    std::vector<std::byte> piece(8192);
    const SQLLEN term = TerminatorSize(cType);
    for (;;) {
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(stmt, SQLUSMALLINT(c + 1), cType, piece.data(), SQLLEN(piece.size()), &ind);
        if (rc == SQL_NO_DATA)
            break;
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLGetData");
        if (ind == SQL_NULL_DATA)
            break;
        const SQLLEN room = SQLLEN(piece.size()) - term;
        const SQLLEN got = (ind == SQL_NO_TOTAL || ind > room) ? room : ind;
        all.append(reinterpret_cast<const char*>(piece.data()), qsizetype(got));
        if (rc == SQL_SUCCESS)
            break;
    }
    return all;
}

} // namespace

// Fills `block` with the next rows, the texts too long for their slot into `overflow`.
// Returns false when no row was left.
bool FetchBlock(TRunResult& run, TBlock& block, TOverflowMap& overflow)
{
    SQLHSTMT stmt = run.Stmt.get();
    const size_t ncols = run.Columns.size();
    const size_t blockIndex = run.Blocks.empty() ? 0 : run.Blocks.size() - 1;
    block.Rows = 0;

    auto bind = [&](std::byte* rowBase) {
        for (size_t c = 0; c < ncols; ++c) {
            const TColumn& col = run.Columns[c];
            OdbcCheck(SQLBindCol(stmt, SQLUSMALLINT(c + 1), col.CType, rowBase + col.Offset, col.ElemSize,
                                 reinterpret_cast<SQLLEN*>(rowBase + col.IndOffset)),
                      SQL_HANDLE_STMT, stmt, "SQLBindCol");
        }
    };
    // A text longer than its slot is read again in full, never cut; a NULL the driver may
    // have given for a value it could not convert is read again as text.
    auto completeLongValues = [&](SQLULEN r, bool positioned) {
        std::byte* row = block.Row(r);
        for (size_t c = 0; c < ncols; ++c) {
            const TColumn& col = run.Columns[c];
            if (!col.Text && !col.NullChecked && !col.TemporalChecked)
                continue;
            SQLLEN ind;
            std::memcpy(&ind, row + col.IndOffset, sizeof ind);
            const bool overlong =
                col.Text && ind != SQL_NULL_DATA && (ind == SQL_NO_TOTAL || ind > col.ElemSize - TerminatorSize(col.CType));
            const bool hiddenText = col.NullChecked && ind == SQL_NULL_DATA;
            const char* cellBytes = reinterpret_cast<const char*>(row + col.Offset);
            const std::string_view temporal = col.TemporalChecked && ind >= 0 && ind < col.ElemSize
                                                  ? std::string_view(cellBytes, size_t(ind))
                                                  : std::string_view();
            const bool madeUp = !temporal.empty() && DriverTemporalSuspect(col, temporal);
            if (!overlong && !hiddenText && !madeUp)
                continue;
            if (!positioned)
                OdbcCheck(SQLSetPos(stmt, SQLSETPOSIROW(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_HANDLE_STMT,
                          stmt, "SQLSetPos");
            positioned = true;
            if (madeUp) {
                double number = 0;
                if (ReadServerNumber(stmt, int(c), number))
                    if (const QString text = ServerTemporalText(temporal, number); !text.isEmpty())
                        overflow[{blockIndex, r, int(c)}] = text;
            } else if (overlong) {
                overflow[{blockIndex, r, int(c)}] = DecodeLong(col.CType, ReadWhole(stmt, int(c), col.CType));
            } else if (const QByteArray stored = ReadWhole(stmt, int(c), SQL_C_CHAR); !stored.isEmpty()) {
                overflow[{blockIndex, r, int(c)}] = QString::fromUtf8(stored);
            }
        }
    };

    if (run.Mode == fmSingle) {
        // One row per fetch, into a row of its own and then copied to its place. With a bind
        // offset the SQLite driver, on a value longer than its slot, wrote that length into
        // the first row's indicator, and the first row's text then read as the longer one.
        if (run.Staging.empty()) {
            run.Staging.resize(run.RowSize);
            bind(run.Staging.data());
        }
    } else if (run.Mode != fmGetData && run.BoundTo != &block) {
        bind(block.Row(0)); // each new block of a static cursor; a stream's two blocks in turn
        run.BoundTo = &block;
    }
    if (run.Mode == fmArray) {
        run.Fetched = 0;
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            return false;
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLFetch");
        block.Rows = run.Fetched;
        for (SQLULEN r = 0; r < block.Rows; ++r)
            completeLongValues(r, false);
        return block.Rows > 0;
    }

    const SQLULEN capacity = block.Capacity();
    while (block.Rows < capacity) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            break;
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLFetch");
        const SQLULEN r = block.Rows++;
        if (run.Mode == fmSingle) {
            std::memcpy(block.Row(r), run.Staging.data(), run.RowSize);
            completeLongValues(r, true);
            continue;
        }
        std::byte* row = block.Row(r);
        for (size_t c = 0; c < ncols; ++c) {
            const TColumn& col = run.Columns[c];
            SQLLEN* ind = reinterpret_cast<SQLLEN*>(row + col.IndOffset);
            rc = SQLGetData(stmt, SQLUSMALLINT(c + 1), col.CType, row + col.Offset, col.ElemSize, ind);
            OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLGetData");
            if (rc == SQL_SUCCESS_WITH_INFO && col.Text && *ind != SQL_NULL_DATA) {
                const SQLLEN term = TerminatorSize(col.CType);
                QByteArray all(reinterpret_cast<const char*>(row + col.Offset), qsizetype(col.ElemSize - term));
                all += ReadWhole(stmt, int(c), col.CType);
                overflow[{blockIndex, r, int(c)}] = DecodeLong(col.CType, all);
            } else if (col.NullChecked && *ind == SQL_NULL_DATA) {
                if (const QByteArray stored = ReadWhole(stmt, int(c), SQL_C_CHAR); !stored.isEmpty())
                    overflow[{blockIndex, r, int(c)}] = QString::fromUtf8(stored);
            } else if (col.TemporalChecked && *ind >= 0 && *ind < col.ElemSize) {
                const std::string_view temporal(reinterpret_cast<const char*>(row + col.Offset), size_t(*ind));
                double number = 0;
                if (DriverTemporalSuspect(col, temporal) && ReadServerNumber(stmt, int(c), number))
                    if (const QString text = ServerTemporalText(temporal, number); !text.isEmpty())
                        overflow[{blockIndex, r, int(c)}] = text;
            }
        }
        if (run.CancelRequested)
            throw EDatabaseError(QStringLiteral("Operation cancelled"), QStringLiteral("HY008"), 0);
    }
    return block.Rows > 0;
}

void FetchRemaining(TRunResult& run)
{
    while (!run.StreamDone) {
        if (run.CancelRequested)
            throw EDatabaseError(QStringLiteral("Operation cancelled"), QStringLiteral("HY008"), 0);
        run.Blocks.push_back(std::make_unique<TBlock>(run.RowSize, run.BlockRows));
        if (!FetchBlock(run, *run.Blocks.back(), run.Overflow)) {
            run.Blocks.pop_back();
            run.StreamDone = true;
        }
    }
}
