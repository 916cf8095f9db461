#include "QueryUnit.h"

#include <algorithm>

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <new>
#include <semaphore>
#include <utility>
#include <sqlucode.h>

namespace {

const SQLWCHAR* W(const QString& s) { return reinterpret_cast<const SQLWCHAR*>(s.utf16()); }

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

QString PadDecimal(QString text, int scale)
{
    // Decimal text as the column's scale has it: "12.5" of a NUMERIC(12,2) reads "12.50".
    if (scale <= 0)
        return text;
    int dot = text.indexOf(QLatin1Char('.'));
    if (dot < 0) {
        if (text.contains(QLatin1Char('e'), Qt::CaseInsensitive))
            return text;
        text += QLatin1Char('.');
        dot = text.size() - 1;
    }
    const int have = text.size() - dot - 1;
    if (have < scale)
        text += QString(scale - have, QLatin1Char('0'));
    return text;
}

// "0.00", "#,##0.00", "0.00####": minimum and maximum decimals and thousands grouping.
QString FormatNumber(double v, const QString& fmt)
{
    const int dot = fmt.indexOf(QLatin1Char('.'));
    int minDec = 0, maxDec = 0;
    if (dot >= 0) {
        for (int i = dot + 1; i < fmt.size(); ++i) {
            if (fmt[i] == QLatin1Char('0')) { ++minDec; ++maxDec; }
            else if (fmt[i] == QLatin1Char('#')) ++maxDec;
        }
    }
    const bool group = fmt.left(dot < 0 ? fmt.size() : dot).contains(QLatin1Char(','));
    QString s = QString::number(v, 'f', maxDec);
    if (maxDec > minDec) {
        while (s.endsWith(QLatin1Char('0')) && s.size() - s.indexOf(QLatin1Char('.')) - 1 > minDec)
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (group) {
        int end = s.indexOf(QLatin1Char('.'));
        if (end < 0) end = s.size();
        const int begin = s.startsWith(QLatin1Char('-')) ? 1 : 0;
        for (int i = end - 3; i > begin; i -= 3)
            s.insert(i, QLatin1Char(','));
    }
    return s;
}

QString BytesToHex(const std::byte* p, SQLLEN n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p), qsizetype(n)).toHex().toUpper());
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

// Fixed-pattern date and time texts written digit by digit (prototype).
inline char16_t* Digits2(char16_t* q, int v) { q[0] = char16_t(u'0' + v / 10); q[1] = char16_t(u'0' + v % 10); return q + 2; }
QString FastDate(int y, int m, int d, bool withTime, int hh, int mi, int ss)
{
    if (y < 1 || y > 9999 || !QDate::isValid(y, m, d))
        return {};
    QString s(withTime ? 19 : 10, Qt::Uninitialized);
    char16_t* q = reinterpret_cast<char16_t*>(s.data());
    q = Digits2(q, d); *q++ = u'.'; q = Digits2(q, m); *q++ = u'.'; q = Digits2(q, y / 100); q = Digits2(q, y % 100);
    if (withTime) { *q++ = u' '; q = Digits2(q, hh); *q++ = u':'; q = Digits2(q, mi); *q++ = u':'; Digits2(q, ss); }
    return s;
}
QString FastTime(int hh, int mi, int ss)
{
    if (!QTime::isValid(hh, mi, ss))
        return {};
    QString s(8, Qt::Uninitialized);
    char16_t* q = reinterpret_cast<char16_t*>(s.data());
    q = Digits2(q, hh); *q++ = u':'; q = Digits2(q, mi); *q++ = u':'; Digits2(q, ss);
    return s;
}
} // namespace

QString DoubleToText(double v, int precision)
{
    char buf[64];
    char* out = buf;
    // Money and quantities: a value that is a whole number of hundredths. The nearest double
    // to n / 100 is v, and with at most 15 digits n / 100 is also what printf rounds v to.
    if (precision == 15 && v != 0 && std::fabs(v) < 1e12) {
        const long long n = std::llround(v * 100);
        if (double(n) / 100 == v) {
            unsigned long long a = n < 0 ? 0ull - (unsigned long long)n : (unsigned long long)n;
            if (n < 0)
                *out++ = '-';
            const unsigned cents = unsigned(a % 100);
            out = std::to_chars(out, buf + sizeof buf, a / 100).ptr;
            if (cents) {
                *out++ = '.';
                *out++ = char('0' + cents / 10);
                if (cents % 10)
                    *out++ = char('0' + cents % 10);
            }
            return QString::fromLatin1(buf, qsizetype(out - buf));
        }
    }
    if ((std::isnormal(v) || v == 0) && precision > 0 && precision <= 17) {
        // The shortest digits that read back as v. When there are no more of them than the
        // precision, they are the digits printf would round to (a normal double's spacing is
        // finer than a 15-digit decimal's), and only printf's %g layout is left to do; that
        // saves most of the cost of a rounding conversion.
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
        const char* p = buf;
        const char* const e = static_cast<const char*>(std::memchr(buf, 'e', size_t(r.ptr - buf)));
        char digits[24];
        int count = 0;
        const bool negative = *p == '-';
        if (negative)
            ++p;
        for (; p != e; ++p)
            if (*p != '.')
                digits[count++] = *p;
        int exponent = 0;
        std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);
        if (count <= precision) {
            if (exponent < -4 || exponent >= precision) // scientific, as to_chars wrote it
                return QString::fromLatin1(buf, qsizetype(r.ptr - buf));
            char text[64];
            out = text;
            if (negative)
                *out++ = '-';
            if (exponent < 0) {
                *out++ = '0';
                *out++ = '.';
                out = std::fill_n(out, -exponent - 1, '0');
                out = std::copy_n(digits, count, out);
            } else if (exponent + 1 >= count) {
                out = std::copy_n(digits, count, out);
                out = std::fill_n(out, exponent + 1 - count, '0');
            } else {
                out = std::copy_n(digits, exponent + 1, out);
                *out++ = '.';
                out = std::copy_n(digits + exponent + 1, count - exponent - 1, out);
            }
            return QString::fromLatin1(text, qsizetype(out - text));
        }
    }
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
    return QString::fromLatin1(buf, qsizetype(r.ptr - buf));
}

const char* FieldTypeName(TFieldType t)
{
    static const char* const names[] = {
        "ftUnknown", "ftString", "ftWideString", "ftFixedChar", "ftFixedWideChar", "ftMemo", "ftWideMemo",
        "ftGuid", "ftShortint", "ftByte", "ftSmallint", "ftWord", "ftInteger", "ftLongWord", "ftLargeint",
        "ftAutoInc", "ftBoolean", "ftSingle", "ftFloat", "ftExtended", "ftCurrency", "ftBCD", "ftFMTBcd",
        "ftDate", "ftTime", "ftDateTime", "ftTimeStamp", "ftBytes", "ftVarBytes", "ftBlob"};
    return t < std::size(names) ? names[t] : "ftUnknown";
}

bool IsNumericFieldType(TFieldType t) { return t >= ftShortint && t <= ftFMTBcd && t != ftBoolean; }
bool IsTemporalFieldType(TFieldType t) { return t >= ftDate && t <= ftTimeStamp; }

// ---------------------------------------------------------------------------------------
// Result storage

struct TQuery::TColumn {
    QString Name;
    SQLSMALLINT SqlType = 0;
    SQLULEN ColSize = 0;
    SQLSMALLINT Digits = 0;
    TFieldType Type = ftUnknown;
    SQLSMALLINT CType = SQL_C_WCHAR;
    SQLLEN ElemSize = 0;  // bytes of the value slot
    size_t Offset = 0;    // of the value slot within a row
    size_t IndOffset = 0; // of the length/indicator within a row
    bool Text = false;    // variable-length: may be longer than its slot
};

// Rows laid out one after another (row-wise binding): each row holds every column's slot
// and indicator, so one bind offset addresses a whole row.
struct TQuery::TBlock {
    SQLULEN Rows = 0;
    size_t RowSize = 0;
    std::vector<std::byte> Buf;

    TBlock(size_t rowSize, SQLULEN capacity) : RowSize(rowSize), Buf(rowSize * capacity) {}
    SQLULEN Capacity() const { return RowSize ? Buf.size() / RowSize : 0; }
    std::byte* Row(SQLULEN r) { return Buf.data() + RowSize * r; }
    const std::byte* Row(SQLULEN r) const { return Buf.data() + RowSize * r; }
};

// How rows come from the driver.
enum TFetchMode : std::uint8_t {
    fmArray,  // row arrays: one SQLFetch per block
    fmSingle, // bound columns, one row per SQLFetch (the driver cannot re-read a value inside a row array)
    fmGetData // nothing bound: every value through SQLGetData (a column too wide to bind)
};

// Texts longer than their slot, read in full: by block, row in the block and column.
using TOverflowMap = std::map<std::tuple<size_t, SQLULEN, int>, QString>;

// A forward-only stream reads its next block on a thread of its own while the rows of the
// current one are used: the driver's work and the caller's overlap. The thread only ever
// touches the statement, the spare block and its own overflow map, and the caller waits for
// it before it takes the block: the statement is never used by both at once. One thread
// serves the whole stream; two semaphores hand the turn over.
struct TQuery::TReadAhead {
    std::unique_ptr<TBlock> Block;
    TOverflowMap Overflow;
    bool Rows = false; // outcome of the last fetch
    std::exception_ptr Error;

    explicit TReadAhead(std::function<bool(TBlock&, TOverflowMap&)> fetch) : FFetch(std::move(fetch))
    {
        FThread = std::thread([this] {
            for (;;) {
                FGo.acquire();
                if (FStop)
                    return;
                try {
                    Rows = FFetch(*Block, Overflow);
                } catch (...) {
                    Error = std::current_exception();
                }
                FDone.release();
            }
        });
    }
    ~TReadAhead()
    {
        Wait(std::nothrow); // a fetch under way ends first
        FStop = true;
        FGo.release();
        FThread.join();
    }
    void Start()
    {
        FPending = true;
        FGo.release();
    }
    // The outcome of the fetch started last.
    void Wait()
    {
        Wait(std::nothrow);
        if (Error)
            std::rethrow_exception(std::exchange(Error, nullptr));
    }

private:
    void Wait(std::nothrow_t)
    {
        if (FPending)
            FDone.acquire();
        FPending = false;
    }

    std::function<bool(TBlock&, TOverflowMap&)> FFetch;
    std::binary_semaphore FGo{0};
    std::binary_semaphore FDone{0};
    bool FPending = false;
    bool FStop = false;
    std::thread FThread;
};

struct TQuery::TRunResult {
    TOdbcHandle Stmt;
    std::vector<TColumn> Columns;
    size_t RowSize = 0;
    std::vector<std::unique_ptr<TBlock>> Blocks;
    TOverflowMap Overflow;
    TFetchMode Mode = fmArray;
    SQLULEN BlockRows = 1;   // rows a block holds
    SQLULEN Fetched = 0;     // rows of the last SQLFetch
    std::vector<std::byte> Staging; // fmSingle: the row the columns are bound to
    const TBlock* BoundTo = nullptr; // block the columns are bound to
    bool StreamDone = false;
    bool HasResult = false;
    bool FetchAll = false;   // static cursor: read everything, then free the statement

    // Worker bookkeeping.
    std::atomic<bool> CancelRequested{false};
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    bool Failed = false;
    QString Error;
    QString ErrorState;
    SQLINTEGER ErrorNative = 0;

    // Last, so that it is gone, its thread joined, before anything it uses.
    std::unique_ptr<TReadAhead> ReadAhead;
};

// ---------------------------------------------------------------------------------------
// TField

bool TField::IsNull() const
{
    SQLLEN ind = SQL_NULL_DATA;
    FQuery->Cell(FIndex, ind);
    return ind == SQL_NULL_DATA;
}

QString TField::AsString() const
{
    SQLLEN ind = SQL_NULL_DATA;
    const std::byte* p = FQuery->Cell(FIndex, ind);
    if (!p || ind == SQL_NULL_DATA)
        return {};
    const TQuery::TColumn& col = FQuery->FResult->Columns[size_t(FIndex)];
    switch (col.CType) {
    case SQL_C_WCHAR: {
        if (const QString* full = FQuery->Overflow(FIndex))
            return *full;
        SQLLEN bytes = ind == SQL_NO_TOTAL ? col.ElemSize - 2 : std::min<SQLLEN>(ind, col.ElemSize - 2);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), qsizetype(bytes / 2));
    }
    case SQL_C_CHAR: {
        if (const QString* full = FQuery->Overflow(FIndex))
            return *full;
        const SQLLEN bytes = ind == SQL_NO_TOTAL ? col.ElemSize - 1 : std::min<SQLLEN>(ind, col.ElemSize - 1);
        QString s = QString::fromUtf8(reinterpret_cast<const char*>(p), qsizetype(bytes));
        if (FDataType == ftBCD || FDataType == ftFMTBcd)
            return PadDecimal(s, FScale);
        return s;
    }
    case SQL_C_SBIGINT: {
        qint64 v;
        std::memcpy(&v, p, sizeof v);
        return QString::number(v);
    }
    case SQL_C_DOUBLE: {
        double v;
        std::memcpy(&v, p, sizeof v);
        return DoubleToText(v, FDataType == ftSingle ? 7 : 15);
    }
    case SQL_C_BIT: return *reinterpret_cast<const unsigned char*>(p) ? QStringLiteral("True") : QStringLiteral("False");
    case SQL_C_TYPE_DATE: {
        const auto* d = reinterpret_cast<const SQL_DATE_STRUCT*>(p);
        return FastDate(d->year, d->month, d->day, false, 0, 0, 0);
    }
    case SQL_C_TYPE_TIME: {
        const auto* t = reinterpret_cast<const SQL_TIME_STRUCT*>(p);
        return FastTime(t->hour, t->minute, t->second);
    }
    case SQL_C_TYPE_TIMESTAMP: {
        const auto* ts = reinterpret_cast<const SQL_TIMESTAMP_STRUCT*>(p);
        return FastDate(ts->year, ts->month, ts->day, ts->hour || ts->minute || ts->second, ts->hour, ts->minute,
                        ts->second);
    }
    case SQL_C_BINARY: {
        if (const QString* full = FQuery->Overflow(FIndex))
            return *full;
        return BytesToHex(p, std::min<SQLLEN>(ind, col.ElemSize));
    }
    }
    return {};
}

QVariant TField::Value() const
{
    SQLLEN ind = SQL_NULL_DATA;
    const std::byte* p = FQuery->Cell(FIndex, ind);
    if (!p || ind == SQL_NULL_DATA)
        return {};
    const TQuery::TColumn& col = FQuery->FResult->Columns[size_t(FIndex)];
    switch (col.CType) {
    case SQL_C_SBIGINT: {
        qint64 v;
        std::memcpy(&v, p, sizeof v);
        if (FDataType == ftLargeint || FDataType == ftLongWord)
            return QVariant::fromValue<qlonglong>(v);
        return QVariant::fromValue<int>(int(v));
    }
    case SQL_C_DOUBLE: {
        double v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    case SQL_C_BIT: return bool(*reinterpret_cast<const unsigned char*>(p));
    case SQL_C_TYPE_DATE: {
        const auto* d = reinterpret_cast<const SQL_DATE_STRUCT*>(p);
        return QDate(d->year, d->month, d->day);
    }
    case SQL_C_TYPE_TIME: {
        const auto* t = reinterpret_cast<const SQL_TIME_STRUCT*>(p);
        return QTime(t->hour, t->minute, t->second);
    }
    case SQL_C_TYPE_TIMESTAMP: {
        // No zone travels with the value: it is kept as the wall-clock time it is.
        const auto* ts = reinterpret_cast<const SQL_TIMESTAMP_STRUCT*>(p);
        return QDateTime(QDate(ts->year, ts->month, ts->day),
                         QTime(ts->hour, ts->minute, ts->second, int(ts->fraction / 1000000)), Qt::UTC);
    }
    case SQL_C_CHAR:
        if (FDataType == ftBCD || FDataType == ftFMTBcd)
            return AsString().toDouble();
        return AsString();
    case SQL_C_BINARY: return QByteArray::fromHex(AsString().toLatin1());
    default: return AsString();
    }
}

QString TField::DisplayText() const
{
    if (DisplayFormat.isEmpty() || IsNull())
        return AsString();
    if (IsNumericFieldType(FDataType))
        return FormatNumber(AsFloat(), DisplayFormat);
    const QVariant v = Value();
    switch (FDataType) {
    case ftDate: return v.toDate().toString(DisplayFormat);
    case ftTime: return v.toTime().toString(DisplayFormat);
    case ftDateTime:
    case ftTimeStamp: return v.toDateTime().toString(DisplayFormat);
    default: return AsString();
    }
}

qint64 TField::AsLargeInt() const
{
    const QVariant v = Value();
    if (v.typeId() == QMetaType::Double)
        return qint64(std::llround(v.toDouble()));
    return v.toLongLong();
}

double TField::AsFloat() const { return Value().toDouble(); }

// ---------------------------------------------------------------------------------------
// TQuery

TQuery::TQuery(TOdbcConnection* connection, TCursorKind kind) : FConnection(connection), FCursorKind(kind)
{
    FNotifier.OnFinished = [this] { FinishAsync(); };
}

TQuery::~TQuery()
{
    try {
        Close();
    } catch (...) {
    }
}

void TQuery::SetConnection(TOdbcConnection* connection)
{
    CheckInactive("SetConnection");
    FConnection = connection;
}

void TQuery::SetSQL(const QString& sql)
{
    if (FActive || FExecuting)
        Close();
    FSql = sql;
}

void TQuery::SetCursorKind(TCursorKind kind)
{
    CheckInactive("SetCursorKind");
    FCursorKind = kind;
}

void TQuery::SetRowArraySize(int rows) { FRowArraySize = std::max(1, rows); }

void TQuery::CheckConnection() const
{
    if (!FConnection)
        throw Exception(QStringLiteral("The query has no connection"));
    if (!FConnection->Connected())
        throw Exception(QStringLiteral("The query's connection is not open"));
}

void TQuery::CheckInactive(const char* what) const
{
    if (FActive || FExecuting)
        throw Exception(QStringLiteral("%1 is not allowed on an open query").arg(QLatin1String(what)));
}

void TQuery::BindParams(SQLHSTMT stmt, std::vector<QByteArray>& keep, std::vector<SQLLEN>& ind)
{
    keep.resize(Params.size());
    ind.resize(Params.size());
    for (size_t i = 0; i < Params.size(); ++i) {
        const QVariant& v = Params[i];
        const SQLUSMALLINT n = SQLUSMALLINT(i + 1);
        SQLRETURN rc;
        if (!v.isValid() || v.isNull()) {
            ind[i] = SQL_NULL_DATA;
            rc = SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0, nullptr, 0, &ind[i]);
        } else {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::Bool: {
                qint64 x = v.toLongLong();
                keep[i] = QByteArray(reinterpret_cast<const char*>(&x), sizeof x);
                ind[i] = 0;
                rc = SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                      keep[i].data(), 0, &ind[i]);
                break;
            }
            case QMetaType::Double: {
                double x = v.toDouble();
                keep[i] = QByteArray(reinterpret_cast<const char*>(&x), sizeof x);
                ind[i] = 0;
                rc = SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                      keep[i].data(), 0, &ind[i]);
                break;
            }
            default: {
                const QString s = v.toString();
                keep[i] = QByteArray(reinterpret_cast<const char*>(s.utf16()), qsizetype(s.size() * 2 + 2));
                ind[i] = SQLLEN(s.size() * 2);
                rc = SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                      SQLULEN(std::max<qsizetype>(s.size(), 1)), 0, keep[i].data(),
                                      SQLLEN(keep[i].size()), &ind[i]);
            }
            }
        }
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLBindParameter");
    }
}

void TQuery::DescribeColumns(TRunResult& run)
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
        if (FConnection->QualifiedColumnNames())
            col.Name = UnqualifiedName(col.Name);
        if (FConnection->IdentifierByteLimit() > 0)
            col.Name = UncutIdentifier(col.Name, FSql, FConnection->IdentifierByteLimit());
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
        case SQL_C_CHAR: // decimals: digits, sign, point, exponent
            col.ElemSize = SQLLEN(std::clamp<SQLULEN>(col.ColSize, 1, 100) + 8);
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
            } else if (FConnection->NarrowText()) {
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
bool TQuery::FetchBlock(TRunResult& run, TBlock& block, TOverflowMap& overflow)
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
    // A text longer than its slot is read again in full, never cut.
    auto completeLongValues = [&](SQLULEN r, bool positioned) {
        std::byte* row = block.Row(r);
        for (size_t c = 0; c < ncols; ++c) {
            const TColumn& col = run.Columns[c];
            if (!col.Text)
                continue;
            SQLLEN ind;
            std::memcpy(&ind, row + col.IndOffset, sizeof ind);
            if (ind == SQL_NULL_DATA || (ind != SQL_NO_TOTAL && ind <= col.ElemSize - TerminatorSize(col.CType)))
                continue;
            if (!positioned)
                OdbcCheck(SQLSetPos(stmt, SQLSETPOSIROW(r + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE), SQL_HANDLE_STMT,
                          stmt, "SQLSetPos");
            positioned = true;
            overflow[{blockIndex, r, int(c)}] = DecodeLong(col.CType, ReadWhole(stmt, int(c), col.CType));
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
            }
        }
        if (run.CancelRequested)
            throw EDatabaseError(QStringLiteral("Operation cancelled"), QStringLiteral("HY008"), 0);
    }
    return block.Rows > 0;
}

void TQuery::Execute(TRunResult& run)
{
    {
        std::lock_guard lock(run.Mutex);
        if (run.CancelRequested)
            throw EDatabaseError(QStringLiteral("Operation cancelled"), QStringLiteral("HY008"), 0);
        run.Stmt = TOdbcHandle(SQL_HANDLE_STMT, FConnection->Handle());
    }
    SQLHSTMT stmt = run.Stmt.get();
    std::vector<QByteArray> keep;
    std::vector<SQLLEN> ind;
    BindParams(stmt, keep, ind);
    SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(FSql)), SQL_NTS);
    if (rc != SQL_NO_DATA)
        OdbcCheck(rc, SQL_HANDLE_STMT, stmt, "SQLExecDirect");
    DescribeColumns(run);
    if (!run.HasResult)
        return;
    const bool anyText = std::any_of(run.Columns.begin(), run.Columns.end(), [](const TColumn& c) { return c.Text; });
    if (run.Mode != fmGetData && anyText && !FConnection->GetDataSupport(SQL_GD_BLOCK | SQL_GD_BOUND))
        run.Mode = fmSingle;
    run.BlockRows = SQLULEN(FRowArraySize);
    if (run.Mode != fmGetData) {
        OdbcCheck(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(run.RowSize), 0),
                  SQL_HANDLE_STMT, stmt, "SQLSetStmtAttr");
        const SQLULEN rowset = run.Mode == fmArray ? run.BlockRows : 1;
        OdbcCheck(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0),
                  SQL_HANDLE_STMT, stmt, "SQLSetStmtAttr");
        OdbcCheck(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &run.Fetched, 0), SQL_HANDLE_STMT, stmt,
                  "SQLSetStmtAttr");
    }
    // The first block is read here in either cursor kind, so that an open stands on a row.
    run.Blocks.push_back(std::make_unique<TBlock>(run.RowSize, run.BlockRows));
    if (!FetchBlock(run, *run.Blocks.back(), run.Overflow)) {
        run.StreamDone = true;
    } else if (run.FetchAll) {
        FetchRemaining(run);
    }
    if (run.FetchAll || run.StreamDone)
        SQLFreeStmt(stmt, SQL_CLOSE); // the connection is free for other statements at once
}

void TQuery::FetchRemaining(TRunResult& run)
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

void TQuery::Adopt(std::unique_ptr<TRunResult> run)
{
    if (FCursorKind == ckStatic || run->StreamDone)
        run->Stmt.reset();
    FResult = std::move(run);
    FRowsBefore = 0;
    FFields.clear();
    for (size_t i = 0; i < FResult->Columns.size(); ++i) {
        auto f = std::make_unique<TField>();
        const TColumn& col = FResult->Columns[i];
        f->FQuery = this;
        f->FIndex = int(i);
        f->FFieldName = col.Name;
        f->FDataType = col.Type;
        f->FSqlType = col.SqlType;
        f->FSize = int(std::min<SQLULEN>(col.ColSize, 1u << 30));
        f->FScale = col.Digits;
        f->Alignment = IsNumericFieldType(col.Type) ? taRightJustify : taLeftJustify;
        f->DisplayWidth = DefaultDisplayWidth(col.Type, f->FSize, f->FScale, int(col.Name.size()));
        FFields.push_back(std::move(f));
    }
    FActive = true;
    FBlockIdx = 0;
    FRowInBlock = 0;
    FRecNo = 0;
    FBof = true;
    FEof = IsEmpty();
    Scrolled();
}

void TQuery::Open()
{
    if (FActive)
        return;
    CheckConnection();
    TDbBusyScope busy;
    auto run = std::make_unique<TRunResult>();
    run->FetchAll = FCursorKind == ckStatic;
    Execute(*run);
    if (!run->HasResult)
        throw Exception(QStringLiteral("The statement returned no result set"));
    Adopt(std::move(run));
}

void TQuery::ExecSQL()
{
    CheckInactive("ExecSQL");
    CheckConnection();
    TDbBusyScope busy;
    TRunResult run;
    Execute(run);
}

void TQuery::OpenAsync()
{
    if (FActive || FExecuting)
        Close();
    CheckConnection();
    FRun = std::make_unique<TRunResult>();
    FRun->FetchAll = FCursorKind == ckStatic;
    FExecuting = true;
    TRunResult* run = FRun.get();
    FWorker = std::thread([this, run] {
        try {
            Execute(*run);
            if (!run->HasResult)
                throw Exception(QStringLiteral("The statement returned no result set"));
        } catch (const EDatabaseError& e) {
            run->Failed = true;
            run->Error = e.Message();
            run->ErrorState = e.SqlState();
            run->ErrorNative = e.NativeError();
        } catch (const Exception& e) {
            run->Failed = true;
            run->Error = e.Message();
        } catch (const std::exception& e) {
            run->Failed = true;
            run->Error = QString::fromLocal8Bit(e.what());
        }
        {
            std::lock_guard lock(run->Mutex);
            run->Finished = true;
        }
        run->Done.notify_all();
        QMetaObject::invokeMethod(&FNotifier, "Finished", Qt::QueuedConnection);
    });
}

void TQuery::FinishAsync()
{
    // A call queued by a run that was cancelled meanwhile finds no run, or a later run
    // that has not finished yet (its own call follows).
    if (!FRun)
        return;
    {
        std::lock_guard lock(FRun->Mutex);
        if (!FRun->Finished)
            return;
    }
    if (FWorker.joinable())
        FWorker.join();
    std::unique_ptr<TRunResult> run = std::move(FRun);
    FExecuting = false;
    if (run->Failed) {
        EDatabaseError error(run->Error, run->ErrorState, run->ErrorNative);
        if (OnOpenError) {
            OnOpenError(error.Message());
            return;
        }
        throw error;
    }
    Adopt(std::move(run));
    if (AfterOpen)
        AfterOpen();
}

void TQuery::Cancel()
{
    if (!FRun)
        return;
    std::lock_guard lock(FRun->Mutex);
    FRun->CancelRequested = true;
    if (FRun->Stmt)
        SQLCancel(FRun->Stmt.get());
}

void TQuery::StopWorker()
{
    if (!FWorker.joinable())
        return;
    // SQLCancel only stops a statement that is running; a worker that is about to start
    // one is caught by the flag or by the next SQLCancel of this loop.
    for (;;) {
        Cancel();
        std::unique_lock lock(FRun->Mutex);
        if (FRun->Done.wait_for(lock, std::chrono::milliseconds(20), [&] { return FRun->Finished; }))
            break;
    }
    FWorker.join();
    FRun.reset(); // a completion already queued finds no run
    FExecuting = false;
}

void TQuery::Close()
{
    StopWorker();
    const bool wasActive = FActive;
    FFields.clear();
    FResult.reset();
    FActive = false;
    FEof = FBof = true;
    FRecNo = 0;
    if (wasActive)
        NotifyObservers();
}

bool TQuery::LoadNextForwardBlock()
{
    TRunResult& run = *FResult;
    if (run.StreamDone || !run.Stmt)
        return false;
    if (!run.ReadAhead) {
        run.ReadAhead = std::make_unique<TReadAhead>(
            [this, &run](TBlock& block, TOverflowMap& overflow) { return FetchBlock(run, block, overflow); });
        run.ReadAhead->Block = std::make_unique<TBlock>(run.RowSize, run.BlockRows);
        run.ReadAhead->Start();
    }
    TReadAhead& ra = *run.ReadAhead;
    try {
        ra.Wait();
    } catch (...) {
        // The current block stays as it was; the stream ends with the error.
        run.ReadAhead.reset();
        run.StreamDone = true;
        run.Stmt.reset();
        throw;
    }
    if (!ra.Rows) {
        // Nothing came: the query stays on the last row of the block it has.
        run.ReadAhead.reset();
        run.StreamDone = true;
        run.Stmt.reset();
        return false;
    }
    FRowsBefore += qint64(run.Blocks.front()->Rows);
    std::swap(run.Blocks.front(), ra.Block);
    std::swap(run.Overflow, ra.Overflow);
    ra.Overflow.clear();
    ra.Start(); // the next block, while this one is read
    return true;
}

void TQuery::First()
{
    if (!FActive)
        throw Exception(QStringLiteral("The query is not open"));
    if (FCursorKind == ckForwardOnly && (FRowsBefore > 0 || FRowInBlock > 0 || (FEof && !IsEmpty())))
        throw Exception(QStringLiteral("A forward-only query cannot go back to its first row"));
    FBlockIdx = 0;
    FRowInBlock = 0;
    FRecNo = 0;
    FBof = true;
    FEof = IsEmpty();
    Scrolled();
}

void TQuery::Next()
{
    if (!FActive)
        throw Exception(QStringLiteral("The query is not open"));
    if (FEof)
        return;
    const auto& blocks = FResult->Blocks;
    if (FRowInBlock + 1 < blocks[FBlockIdx]->Rows) {
        ++FRowInBlock;
    } else if (FCursorKind == ckStatic) {
        if (FBlockIdx + 1 < blocks.size() && blocks[FBlockIdx + 1]->Rows > 0) {
            ++FBlockIdx;
            FRowInBlock = 0;
        } else {
            FEof = true; // stays on the last row
            return;
        }
    } else {
        const SQLULEN keepRow = FRowInBlock;
        if (!LoadNextForwardBlock()) {
            FRowInBlock = keepRow;
            FEof = true;
            return;
        }
        FRowInBlock = 0;
    }
    ++FRecNo;
    FBof = false;
    Scrolled();
}

void TQuery::MoveTo(qint64 recNo)
{
    if (!FActive)
        throw Exception(QStringLiteral("The query is not open"));
    if (FCursorKind != ckStatic)
        throw Exception(QStringLiteral("Only a static query can move to any row"));
    if (IsEmpty())
        return;
    recNo = std::clamp<qint64>(recNo, 0, RecordCount() - 1);
    // Blocks are full but for the last one; the walk is short (a page holds a few dozen).
    qint64 before = 0;
    size_t b = 0;
    const auto& blocks = FResult->Blocks;
    while (before + qint64(blocks[b]->Rows) <= recNo) {
        before += qint64(blocks[b]->Rows);
        ++b;
    }
    FBlockIdx = b;
    FRowInBlock = SQLULEN(recNo - before);
    FRecNo = recNo;
    FBof = recNo == 0;
    FEof = false;
}

bool TQuery::IsEmpty() const
{
    return !FResult || FResult->Blocks.empty() || FResult->Blocks.front()->Rows == 0;
}

qint64 TQuery::RecordCount() const
{
    if (!FActive)
        return 0;
    if (FCursorKind == ckForwardOnly)
        return FRecNo + (IsEmpty() ? 0 : 1);
    qint64 n = 0;
    for (const auto& b : FResult->Blocks)
        n += qint64(b->Rows);
    return n;
}

TField* TQuery::FindField(const QString& name)
{
    for (auto& f : FFields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

const std::byte* TQuery::Cell(int col, SQLLEN& indicator) const
{
    if (!FActive || IsEmpty()) {
        indicator = SQL_NULL_DATA;
        return nullptr;
    }
    const TColumn& c = FResult->Columns[size_t(col)];
    const std::byte* row = FResult->Blocks[FBlockIdx]->Row(FRowInBlock);
    std::memcpy(&indicator, row + c.IndOffset, sizeof indicator);
    return row + c.Offset;
}

const QString* TQuery::Overflow(int col) const
{
    if (FResult->Overflow.empty())
        return nullptr;
    auto it = FResult->Overflow.find({FBlockIdx, FRowInBlock, col});
    return it == FResult->Overflow.end() ? nullptr : &it->second;
}

int TQuery::AddDataObserver(std::function<void()> observer)
{
    const int id = FNextObserverId++;
    FObservers.emplace_back(id, std::move(observer));
    return id;
}

void TQuery::RemoveDataObserver(int id)
{
    std::erase_if(FObservers, [id](const auto& p) { return p.first == id; });
}

void TQuery::DisableControls() { ++FDisableCount; }

void TQuery::EnableControls()
{
    if (FDisableCount == 0)
        return;
    if (--FDisableCount == 0 && FChangedWhileDisabled) {
        FChangedWhileDisabled = false;
        NotifyObservers();
    }
}

void TQuery::Scrolled()
{
    if (AfterScroll)
        AfterScroll();
    NotifyObservers();
}

void TQuery::NotifyObservers()
{
    if (FDisableCount > 0) {
        FChangedWhileDisabled = true;
        return;
    }
    auto observers = FObservers; // an observer may remove itself
    for (auto& [id, fn] : observers)
        if (fn)
            fn();
}
