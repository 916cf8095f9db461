// odbc_floor: the least work a program can do to read a result set through an ODBC driver.
//
// Plain ODBC C API: one SQLExecDirect, every column bound, rows fetched in row arrays (by
// default column-wise, 256 rows per SQLFetch). The C types are the ones the data layer binds
// for the same driver, so the two read the same bytes from the driver:
//   integers SQL_C_SBIGINT, floating point SQL_C_DOUBLE, decimals SQL_C_CHAR text,
//   dates / times / timestamps the ODBC structs, text SQL_C_WCHAR (UTF-16) or, for a driver
//   without wide entry points (SQLite), SQL_C_CHAR (its own UTF-8), binary SQL_C_BINARY.
// With --text every cell is also turned into text the cheapest way (to_chars, hand-written
// date digits, UTF-16 -> UTF-8 by a plain loop) and the rows are written TAB-separated to
// --out (default: nowhere), the floor for an export.
//
// Usage: odbc_floor CONNECTION_STRING SQL [options]
//   --rowset N        rows per SQLFetch (default 256; 1 = one row per fetch)
//   --bind col|row    column-wise (default) or row-wise binding
//   --narrow auto|0|1 text as SQL_C_CHAR: auto = when the driver is the SQLite driver
//   --text            convert every cell to text
//   --out FILE        with --text: write the rows there (TAB-separated, LF); "-" is stdout
//   --repeat N        run the statement N times on the same connection (default 1)
//   --label NAME      copied into the result line
//   --all-text        bind every column as text (SQL_C_CHAR when narrow, else SQL_C_WCHAR), the way
//                     a text-only consumer could read it; not what the data layer does
//   --describe        list the columns (SQL type, size, digits, bound C type) on stderr
// Prints per run one line:
//   RESULT prog=odbc_floor label=... run=K rows=R cols=C exec_s=... fetch_s=... seconds=... bytes=B
// (seconds = execute + fetch, connection excluded; bytes = text produced with --text).

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what, SQLSMALLINT type, SQLHANDLE h)
{
    std::fprintf(stderr, "odbc_floor: %s failed\n", what);
    SQLCHAR state[6], msg[1024];
    SQLINTEGER native;
    SQLSMALLINT len;
    for (SQLSMALLINT i = 1; h && SQLGetDiagRecA(type, h, i, state, &native, msg, sizeof msg, &len) == SQL_SUCCESS; ++i)
        std::fprintf(stderr, "  [%s] %s\n", state, msg);
    std::exit(2);
}

void Check(SQLRETURN rc, const char* what, SQLSMALLINT type, SQLHANDLE h)
{
    if (!SQL_SUCCEEDED(rc))
        Fail(what, type, h);
}

std::u16string Utf16(std::string_view s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int n;
        if (c < 0x80) { cp = c; n = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; n = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; n = 3; }
        else { cp = c & 0x07; n = 4; }
        for (int k = 1; k < n && i + size_t(k) < s.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3F);
        i += size_t(n);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Column {
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT cType = SQL_C_CHAR;
    SQLLEN elem = 0;              // bytes of one value slot
    std::vector<char> data;       // column-wise buffers
    std::vector<SQLLEN> ind;
    size_t offset = 0, indOffset = 0; // row-wise layout
};

// The C type and slot size the data layer binds for this SQL type.
void ChooseCType(Column& c, bool narrow)
{
    constexpr SQLULEN kMaxBoundChars = 4000;
    switch (c.sqlType) {
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
        c.cType = SQL_C_SBIGINT; c.elem = 8; return;
    case SQL_BIT: c.cType = SQL_C_BIT; c.elem = 1; return;
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: c.cType = SQL_C_DOUBLE; c.elem = 8; return;
    case SQL_NUMERIC: case SQL_DECIMAL:
        c.cType = SQL_C_CHAR; c.elem = SQLLEN(std::clamp<SQLULEN>(c.size, 1, 100) + 8); return;
    case SQL_TYPE_DATE: case SQL_DATE: c.cType = SQL_C_TYPE_DATE; c.elem = sizeof(SQL_DATE_STRUCT); return;
    case SQL_TYPE_TIME: case SQL_TIME: c.cType = SQL_C_TYPE_TIME; c.elem = sizeof(SQL_TIME_STRUCT); return;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP:
        c.cType = SQL_C_TYPE_TIMESTAMP; c.elem = sizeof(SQL_TIMESTAMP_STRUCT); return;
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
        c.cType = SQL_C_BINARY; c.elem = SQLLEN(std::clamp<SQLULEN>(c.size, 1, kMaxBoundChars)); return;
    default: {
        const SQLULEN chars = std::clamp<SQLULEN>(c.size, 1, kMaxBoundChars);
        if (narrow) { c.cType = SQL_C_CHAR; c.elem = SQLLEN(std::max<SQLULEN>(chars * 3, 15) + 1); }
        else { c.cType = SQL_C_WCHAR; c.elem = SQLLEN((chars + 1) * 2); }
    }
    }
}

// Output line buffer of the --text mode.
struct Sink {
    std::vector<char> buf = std::vector<char>(1 << 16);
    size_t used = 0;
    unsigned long long total = 0;
    FILE* out = nullptr;
    char* Reserve(size_t n)
    {
        if (used + n > buf.size()) {
            Flush();
            if (n > buf.size())
                buf.resize(n);
        }
        return buf.data() + used;
    }
    void Commit(size_t n) { used += n; total += n; }
    void Put(char ch) { *Reserve(1) = ch; Commit(1); }
    void Flush()
    {
        if (out && used)
            std::fwrite(buf.data(), 1, used, out);
        used = 0;
    }
};

inline char* Two(char* p, unsigned v) { p[0] = char('0' + v / 10 % 10); p[1] = char('0' + v % 10); return p + 2; }
inline char* Four(char* p, unsigned v) { p = Two(p, v / 100); return Two(p, v % 100); }

void CellText(Sink& s, const Column& c, const char* v, SQLLEN ind)
{
    if (ind == SQL_NULL_DATA)
        return;
    switch (c.cType) {
    case SQL_C_SBIGINT: {
        long long x; std::memcpy(&x, v, 8);
        char* p = s.Reserve(24);
        s.Commit(size_t(std::to_chars(p, p + 24, x).ptr - p));
        return;
    }
    case SQL_C_DOUBLE: {
        double x; std::memcpy(&x, v, 8);
        char* p = s.Reserve(32);
        s.Commit(size_t(std::to_chars(p, p + 32, x).ptr - p));
        return;
    }
    case SQL_C_BIT: s.Put(*v ? '1' : '0'); return;
    case SQL_C_CHAR: {
        const size_t n = size_t(ind == SQL_NO_TOTAL ? c.elem - 1 : std::min<SQLLEN>(ind, c.elem - 1));
        std::memcpy(s.Reserve(n), v, n);
        s.Commit(n);
        return;
    }
    case SQL_C_WCHAR: {
        const size_t n = size_t(ind == SQL_NO_TOTAL ? c.elem - 2 : std::min<SQLLEN>(ind, c.elem - 2)) / 2;
        const auto* w = reinterpret_cast<const char16_t*>(v);
        char* p0 = s.Reserve(n * 3);
        char* p = p0;
        for (size_t i = 0; i < n; ++i) {
            char32_t cp = w[i];
            if (cp < 0x80) { *p++ = char(cp); continue; }
            if (cp < 0x800) { *p++ = char(0xC0 | (cp >> 6)); *p++ = char(0x80 | (cp & 0x3F)); continue; }
            if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n) { // surrogate pair: 4 bytes in the room of 6
                cp = 0x10000 + ((cp - 0xD800) << 10) + (w[++i] - 0xDC00);
                *p++ = char(0xF0 | (cp >> 18)); *p++ = char(0x80 | ((cp >> 12) & 0x3F));
                *p++ = char(0x80 | ((cp >> 6) & 0x3F)); *p++ = char(0x80 | (cp & 0x3F));
                continue;
            }
            *p++ = char(0xE0 | (cp >> 12)); *p++ = char(0x80 | ((cp >> 6) & 0x3F)); *p++ = char(0x80 | (cp & 0x3F));
        }
        s.Commit(size_t(p - p0));
        return;
    }
    case SQL_C_TYPE_DATE: {
        SQL_DATE_STRUCT d; std::memcpy(&d, v, sizeof d);
        char* p = s.Reserve(10);
        p = Two(p, d.day); *p++ = '.'; p = Two(p, d.month); *p++ = '.'; Four(p, unsigned(d.year));
        s.Commit(10);
        return;
    }
    case SQL_C_TYPE_TIME: {
        SQL_TIME_STRUCT t; std::memcpy(&t, v, sizeof t);
        char* p = s.Reserve(8);
        p = Two(p, t.hour); *p++ = ':'; p = Two(p, t.minute); *p++ = ':'; Two(p, t.second);
        s.Commit(8);
        return;
    }
    case SQL_C_TYPE_TIMESTAMP: {
        SQL_TIMESTAMP_STRUCT t; std::memcpy(&t, v, sizeof t);
        char* p = s.Reserve(19);
        char* q = p;
        q = Two(q, t.day); *q++ = '.'; q = Two(q, t.month); *q++ = '.'; q = Four(q, unsigned(t.year));
        if (t.hour || t.minute || t.second) {
            *q++ = ' '; q = Two(q, t.hour); *q++ = ':'; q = Two(q, t.minute); *q++ = ':'; q = Two(q, t.second);
        }
        s.Commit(size_t(q - p));
        return;
    }
    case SQL_C_BINARY: {
        static const char hex[] = "0123456789ABCDEF";
        const size_t n = size_t(std::min<SQLLEN>(ind, c.elem));
        char* p = s.Reserve(n * 2);
        for (size_t i = 0; i < n; ++i) {
            p[2 * i] = hex[static_cast<unsigned char>(v[i]) >> 4];
            p[2 * i + 1] = hex[static_cast<unsigned char>(v[i]) & 15];
        }
        s.Commit(n * 2);
        return;
    }
    }
}

void Usage()
{
    std::fprintf(stderr, "usage: odbc_floor CONNECTION_STRING SQL [--rowset N] [--bind col|row] [--narrow auto|0|1]\n"
                         "                  [--text] [--out FILE] [--repeat N] [--label NAME] [--all-text] [--describe]\n");
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "en_US.UTF-8");
    if (argc < 3)
        Usage();
    const std::string connStr = argv[1];
    const std::string sql = argv[2];
    SQLULEN rowset = 256;
    bool rowWise = false, text = false, describe = false, allText = false;
    int narrowOpt = -1, repeat = 1;
    std::string outPath, label = "-";
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string { if (i + 1 >= argc) Usage(); return argv[++i]; };
        if (a == "--rowset") rowset = std::max(1, std::atoi(value().c_str()));
        else if (a == "--bind") rowWise = value() == "row";
        else if (a == "--narrow") { const std::string v = value(); narrowOpt = v == "auto" ? -1 : std::atoi(v.c_str()); }
        else if (a == "--text") text = true;
        else if (a == "--out") outPath = value();
        else if (a == "--repeat") repeat = std::max(1, std::atoi(value().c_str()));
        else if (a == "--label") label = value();
        else if (a == "--describe") describe = true;
        else if (a == "--all-text") allText = true;
        else Usage();
    }

    SQLHENV env;
    Check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), "SQLAllocHandle(ENV)", SQL_HANDLE_ENV, nullptr);
    Check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), "SQLSetEnvAttr",
          SQL_HANDLE_ENV, env);
    SQLHDBC dbc;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), "SQLAllocHandle(DBC)", SQL_HANDLE_ENV, env);
    const std::u16string wconn = Utf16(connStr);
    SQLWCHAR outConn[1024];
    SQLSMALLINT outLen;
    Check(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wconn.c_str())), SQL_NTS,
                            outConn, 1024, &outLen, SQL_DRIVER_NOPROMPT),
          "SQLDriverConnect", SQL_HANDLE_DBC, dbc);
    bool narrow = narrowOpt == 1;
    if (narrowOpt < 0) {
        char drv[256] = {};
        SQLSMALLINT len;
        SQLGetInfoA(dbc, SQL_DRIVER_NAME, drv, sizeof drv, &len);
        std::string d = drv;
        std::transform(d.begin(), d.end(), d.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
        narrow = d.find("sqlite") != std::string::npos;
    }
    FILE* out = nullptr;
    if (text && !outPath.empty()) {
        out = outPath == "-" ? stdout : std::fopen(outPath.c_str(), "wb");
        if (!out) { std::perror(outPath.c_str()); return 2; }
    }
    const std::u16string wsql = Utf16(sql);

    for (int run = 1; run <= repeat; ++run) {
        SQLHSTMT st;
        Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st), "SQLAllocHandle(STMT)", SQL_HANDLE_DBC, dbc);
        const double t0 = Now();
        Check(SQLExecDirectW(st, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wsql.c_str())), SQL_NTS),
              "SQLExecDirect", SQL_HANDLE_STMT, st);
        SQLSMALLINT ncols = 0;
        Check(SQLNumResultCols(st, &ncols), "SQLNumResultCols", SQL_HANDLE_STMT, st);
        std::vector<Column> cols(static_cast<size_t>(ncols));
        for (SQLSMALLINT i = 0; i < ncols; ++i) {
            Column& c = cols[size_t(i)];
            SQLCHAR name[256];
            SQLSMALLINT nameLen, nullable;
            Check(SQLDescribeColA(st, SQLUSMALLINT(i + 1), name, sizeof name, &nameLen, &c.sqlType, &c.size, &c.digits,
                                  &nullable),
                  "SQLDescribeCol", SQL_HANDLE_STMT, st);
            ChooseCType(c, narrow);
            if (allText && c.cType != SQL_C_CHAR && c.cType != SQL_C_WCHAR && c.cType != SQL_C_BINARY) {
                const SQLULEN chars = 40; // numbers, dates, times and timestamps as text
                if (narrow) { c.cType = SQL_C_CHAR; c.elem = SQLLEN(chars + 1); }
                else { c.cType = SQL_C_WCHAR; c.elem = SQLLEN((chars + 1) * 2); }
            }
            if (describe && run == 1)
                std::fprintf(stderr, "column %d %.*s: sql_type=%d size=%lu digits=%d c_type=%d slot=%ld\n", i + 1,
                             int(nameLen), reinterpret_cast<const char*>(name), int(c.sqlType),
                             static_cast<unsigned long>(c.size), int(c.digits), int(c.cType), long(c.elem));
        }
        std::vector<char> rowBuf; // row-wise layout: value slots aligned to 8, then the indicator
        size_t rowSize = 0;
        if (rowWise) {
            for (Column& c : cols) {
                c.offset = rowSize;
                rowSize += (size_t(c.elem) + 7) & ~size_t(7);
                c.indOffset = rowSize;
                rowSize += sizeof(SQLLEN);
            }
            rowBuf.resize(rowSize * rowset);
            Check(SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(rowSize), 0),
                  "SQLSetStmtAttr(ROW_BIND_TYPE)", SQL_HANDLE_STMT, st);
        }
        SQLULEN fetched = 0;
        Check(SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0),
              "SQLSetStmtAttr(ROW_ARRAY_SIZE)", SQL_HANDLE_STMT, st);
        Check(SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), "SQLSetStmtAttr(ROWS_FETCHED_PTR)",
              SQL_HANDLE_STMT, st);
        for (size_t i = 0; i < cols.size(); ++i) {
            Column& c = cols[i];
            SQLPOINTER target;
            SQLLEN* ind;
            if (rowWise) {
                target = rowBuf.data() + c.offset;
                ind = reinterpret_cast<SQLLEN*>(rowBuf.data() + c.indOffset);
            } else {
                c.data.resize(size_t(c.elem) * rowset);
                c.ind.resize(rowset);
                target = c.data.data();
                ind = c.ind.data();
            }
            Check(SQLBindCol(st, SQLUSMALLINT(i + 1), c.cType, target, c.elem, ind), "SQLBindCol", SQL_HANDLE_STMT, st);
        }
        const double t1 = Now();
        Sink sink;
        sink.out = out;
        unsigned long long rows = 0;
        for (;;) {
            SQLRETURN rc = SQLFetch(st);
            if (rc == SQL_NO_DATA)
                break;
            Check(rc, "SQLFetch", SQL_HANDLE_STMT, st);
            rows += fetched;
            if (!text)
                continue;
            for (SQLULEN r = 0; r < fetched; ++r) {
                for (size_t i = 0; i < cols.size(); ++i) {
                    const Column& c = cols[i];
                    if (i)
                        sink.Put('\t');
                    if (rowWise) {
                        const char* row = rowBuf.data() + rowSize * r;
                        SQLLEN ind;
                        std::memcpy(&ind, row + c.indOffset, sizeof ind);
                        CellText(sink, c, row + c.offset, ind);
                    } else {
                        CellText(sink, c, c.data.data() + size_t(c.elem) * r, c.ind[r]);
                    }
                }
                sink.Put('\n');
            }
        }
        sink.Flush();
        if (out)
            std::fflush(out);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        const double t2 = Now();
        std::printf("RESULT prog=odbc_floor label=%s run=%d rows=%llu cols=%d exec_s=%.6f fetch_s=%.6f seconds=%.6f "
                    "bytes=%llu rowset=%lu bind=%s narrow=%d all_text=%d\n",
                    label.c_str(), run, rows, int(ncols), t1 - t0, t2 - t1, t2 - t0, sink.total,
                    static_cast<unsigned long>(rowset), rowWise ? "row" : "col", narrow ? 1 : 0, allText ? 1 : 0);
        std::fflush(stdout);
    }
    if (out && out != stdout)
        std::fclose(out);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return 0;
}
