// One result column of a query: field types and reading a cell (see FieldUnit.h).
#include "FieldUnit.h"

#include "FieldTextUnit.h"
#include "QueryUnit.h"
#include "ResultSetUnit.h"

#include <algorithm>

#include <QDateTime>
#include <QTimeZone>
#include <climits>
#include <cmath>
#include <cstring>
#include <sqlucode.h>

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

namespace {

// A date or time read as the engine's text, as the program shows it: dd.MM.yyyy[ hh:mm:ss]
// or hh:mm:ss; a value it cannot show so (BC, "infinity", a date that does not exist)
// stays the engine's own text.
// The fraction of a second is shown as the engine wrote it ("12:34:56.5"), so that the grid,
// the text file and the workbook agree on what the database holds.
QString TemporalDisplay(const QString& text, TFieldType type)
{
    TIsoTemporal t;
    if (!ParseIsoTemporal(text, t))
        return text;
    if (type == ftTime)
        return t.HasDate ? text : FastTime(t.Hour, t.Minute, t.Second) + FractionText(t);
    if (!t.HasDate || (type == ftDate && t.HasTime))
        return text; // a time in a date column is not a date
    const bool withTime = type != ftDate && (t.Hour || t.Minute || t.Second || !t.Fraction.isEmpty());
    return FastDate(t.Year, t.Month, t.Day, withTime, t.Hour, t.Minute, t.Second) +
           (withTime ? FractionText(t) : QString());
}

// A fraction of a second with a digit other than 0 after the third.
bool FinerThanMilliseconds(const TIsoTemporal& t)
{
    for (qsizetype i = 3; i < t.Fraction.size(); ++i)
        if (t.Fraction[i] != u'0')
            return true;
    return false;
}

// The typed value of such a text; the text itself when it is none, or when its fraction of
// a second is finer than the milliseconds a time value holds.
QVariant TemporalValue(const QString& text, TFieldType type)
{
    TIsoTemporal t;
    if (!ParseIsoTemporal(text, t))
        return text;
    if (FinerThanMilliseconds(t))
        return TemporalDisplay(text, type);
    const QTime time(t.Hour, t.Minute, t.Second, t.Microsecond / 1000);
    if (type == ftTime)
        return t.HasDate ? QVariant(text) : QVariant(time);
    if (!t.HasDate || (type == ftDate && t.HasTime))
        return text;
    const QDate date(t.Year, t.Month, t.Day);
    if (type == ftDate)
        return date;
    return QDateTime(date, time, Qt::UTC); // no zone travels with the value
}

// A number or boolean read as the engine's text (its bytes): the typed value when the text
// is exactly one of its column's type, else nothing (the text is shown).
QVariant NumberValue(std::string_view text, TFieldType type)
{
    if (type == ftBoolean) {
        if (text == "0" || text == "1")
            return text == "1";
        return {};
    }
    if (type == ftSingle || type == ftFloat || type == ftExtended || type == ftCurrency) {
        double v = 0;
        return ParseStrictReal(text, v) ? QVariant(v) : QVariant();
    }
    qint64 v = 0;
    return ParseStrictInteger(text, v) ? QVariant::fromValue<qlonglong>(v) : QVariant();
}

// The bytes of a value read as text (SQL_C_CHAR, UTF-8).
std::string_view EngineBytes(const std::byte* p, SQLLEN ind, const TColumn& col)
{
    const SQLLEN bytes = ind == SQL_NO_TOTAL ? col.ElemSize - 1 : std::min<SQLLEN>(ind, col.ElemSize - 1);
    return {reinterpret_cast<const char*>(p), size_t(bytes)};
}
QString EngineText(const std::byte* p, SQLLEN ind, const TColumn& col)
{
    const std::string_view bytes = EngineBytes(p, ind, col);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

bool TField::ReadCell(TCell& cell) const
{
    cell.Bytes = FQuery->Cell(FIndex, cell.Indicator);
    if (!cell.Bytes)
        return false;
    cell.Column = &FQuery->FResult->Columns[size_t(FIndex)];
    if (cell.Indicator == SQL_NULL_DATA && cell.Column->NullChecked)
        cell.Stored = FQuery->Overflow(FIndex);
    return true;
}

bool TField::IsNull() const
{
    TCell cell;
    return !ReadCell(cell) || (cell.Indicator == SQL_NULL_DATA && !cell.Stored);
}

QString TField::AsString() const
{
    TCell cell;
    if (!ReadCell(cell))
        return {};
    if (cell.Indicator == SQL_NULL_DATA)
        return cell.Stored ? *cell.Stored : QString();
    const std::byte* p = cell.Bytes;
    const SQLLEN ind = cell.Indicator;
    const TColumn& col = *cell.Column;
    if (col.TemporalText) {
        const QString* full = FQuery->Overflow(FIndex);
        return TemporalDisplay(full ? *full : EngineText(p, ind, col), FDataType);
    }
    if (col.NumberText) {
        if (const QString* full = FQuery->Overflow(FIndex))
            return *full; // longer than any number
        const QVariant v = NumberValue(EngineBytes(p, ind, col), FDataType);
        switch (v.typeId()) {
        case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case QMetaType::Double: return DoubleToText(v.toDouble(), FDataType == ftSingle ? 7 : 15);
        case QMetaType::LongLong: return QString::number(v.toLongLong());
        default: return EngineText(p, ind, col);
        }
    }
    switch (col.CType) {
    case SQL_C_WCHAR: {
        if (const QString* full = FQuery->Overflow(FIndex))
            return *full;
        SQLLEN bytes = ind == SQL_NO_TOTAL ? col.ElemSize - 2 : std::min<SQLLEN>(ind, col.ElemSize - 2);
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), qsizetype(bytes / 2));
    }
    case SQL_C_CHAR: {
        const QString* full = FQuery->Overflow(FIndex);
        const QString s = full ? *full : EngineText(p, ind, col);
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
        const bool withTime = ts->hour || ts->minute || ts->second || ts->fraction;
        QString text = FastDate(ts->year, ts->month, ts->day, withTime, ts->hour, ts->minute, ts->second);
        if (ts->fraction && !text.isEmpty()) { // nanoseconds, shown without trailing zeros
            QString digits = QStringLiteral("%1").arg(ts->fraction, 9, 10, QLatin1Char('0'));
            while (digits.endsWith(QLatin1Char('0')))
                digits.chop(1);
            text += QLatin1Char('.') + digits;
        }
        return text;
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
    TCell cell;
    if (!ReadCell(cell))
        return {};
    if (cell.Indicator == SQL_NULL_DATA)
        return cell.Stored ? QVariant(*cell.Stored) : QVariant();
    const std::byte* p = cell.Bytes;
    const SQLLEN ind = cell.Indicator;
    const TColumn& col = *cell.Column;
    if (col.TemporalText) {
        const QString* full = FQuery->Overflow(FIndex);
        return TemporalValue(full ? *full : EngineText(p, ind, col), FDataType);
    }
    if (col.NumberText) {
        if (const QString* full = FQuery->Overflow(FIndex))
            return *full;
        const QVariant v = NumberValue(EngineBytes(p, ind, col), FDataType);
        if (!v.isValid())
            return EngineText(p, ind, col);
        if (v.typeId() == QMetaType::LongLong && FDataType != ftLargeint && FDataType != ftLongWord &&
            v.toLongLong() >= INT_MIN && v.toLongLong() <= INT_MAX)
            return QVariant::fromValue<int>(int(v.toLongLong()));
        return v;
    }
    switch (col.CType) {
    case SQL_C_SBIGINT: {
        // An integer kind keeps its 64 bits: a value beyond its declared size (SQLite stores
        // any integer in any column) is not narrowed.
        qint64 v;
        std::memcpy(&v, p, sizeof v);
        if (FDataType == ftLargeint || FDataType == ftLongWord || v < INT_MIN || v > INT_MAX)
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
    const QVariant v = Value();
    if (v.typeId() == QMetaType::QString)
        return v.toString(); // a value that is none of its column's type: as the engine gave it
    if (IsNumericFieldType(FDataType))
        return FormatNumber(v.toDouble(), DisplayFormat);
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

bool TField::DecimalBytes(std::string_view& bytes) const
{
    TCell cell;
    if ((FDataType != ftBCD && FDataType != ftFMTBcd) || !ReadCell(cell) || cell.Indicator == SQL_NULL_DATA
        || cell.Column->CType != SQL_C_CHAR || cell.Indicator == SQL_NO_TOTAL
        || cell.Indicator > cell.Column->ElemSize - 1 || FQuery->Overflow(FIndex))
        return false;
    bytes = std::string_view(reinterpret_cast<const char*>(cell.Bytes), size_t(cell.Indicator));
    return true;
}
