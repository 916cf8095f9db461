#pragma once
// One result column of a query (TField) and the field types: a cell of the current row
// read as plain text, as a typed value and as display text.

#include <QString>

#include <string_view>
#include <QVariant>
#include <cstdint>
#include <cstddef>
#include <sql.h>
#include <sqltypes.h>

enum TFieldType : std::uint8_t {
    ftUnknown,
    ftString, ftWideString, ftFixedChar, ftFixedWideChar, ftMemo, ftWideMemo, ftGuid,
    ftShortint, ftByte, ftSmallint, ftWord, ftInteger, ftLongWord, ftLargeint, ftAutoInc,
    ftBoolean,
    ftSingle, ftFloat, ftExtended, ftCurrency, ftBCD, ftFMTBcd,
    ftDate, ftTime, ftDateTime, ftTimeStamp,
    ftBytes, ftVarBytes, ftBlob,
};
const char* FieldTypeName(TFieldType t);
bool IsNumericFieldType(TFieldType t);   // integer, floating-point, currency and decimal kinds
bool IsTemporalFieldType(TFieldType t);  // date, time, date-time, time-stamp

enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

class TQuery;
struct TColumn;

// One result column, read at the query's current row.
class TField {
public:
    const QString& FieldName() const { return FFieldName; }
    QString DisplayLabel;                    // empty: DisplayName() is the field name
    QString DisplayName() const { return DisplayLabel.isEmpty() ? FFieldName : DisplayLabel; }
    // Format of DisplayText: for numbers "0.00"-style patterns ("#,##0.00" groups
    // thousands), for dates and times a QDateTime pattern; empty: the default text.
    QString DisplayFormat;
    int DisplayWidth = 0;                    // characters
    TAlignment Alignment = taLeftJustify;

    TFieldType DataType() const { return FDataType; }
    SQLSMALLINT SqlType() const { return FSqlType; }
    int Index() const { return FIndex; }
    int Size() const { return FSize; }       // characters for text, precision for numbers
    int Scale() const { return FScale; }

    bool IsNull() const;
    QString AsString() const;    // plain text value; empty for NULL
    QString DisplayText() const; // text as shown: DisplayFormat applied, dates dd.MM.yyyy
    QVariant Value() const;      // typed value; NULL is the empty QVariant
    qint64 AsLargeInt() const;
    double AsFloat() const;
    // A decimal that the driver hands over as text: its bytes as they came (ASCII, not
    // padded to the scale), valid until the query moves. False for NULL, for other
    // columns, and for a value too long for its buffer.
    bool DecimalBytes(std::string_view& bytes) const;

private:
    friend class TQuery;
    // The cell at the query's row: its bytes and indicator, its column, and for a NULL the
    // text a driver hid there (a value it could not convert). False when there is no row.
    struct TCell {
        const std::byte* Bytes = nullptr;
        SQLLEN Indicator = SQL_NULL_DATA;
        const TColumn* Column = nullptr;
        const QString* Stored = nullptr;
    };
    bool ReadCell(TCell& cell) const;

    TQuery* FQuery = nullptr;
    int FIndex = 0;
    QString FFieldName;
    TFieldType FDataType = ftUnknown;
    SQLSMALLINT FSqlType = 0;
    int FSize = 0;
    int FScale = 0;
};
