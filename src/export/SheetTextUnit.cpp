// The escapes of a worksheet cell's text.
#include "SheetTextUnit.h"

#include <QString>

namespace {

// What libxlsxwriter writes as "_xHHHH_" itself.
bool EscapedByLibrary(char16_t c) { return (c >= 0x01 && c <= 0x08) || (c >= 0x0B && c <= 0x1F); }

// What is written as "_xHHHH_" here.
bool EscapedHere(char16_t c) { return c == 0 || c == 0xFFFE || c == 0xFFFF; }

bool IsHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

// Whether the underscore at `i` starts "_xHHHH_" in the written text. Its last underscore
// may also be the first character of an escape that follows ("_x000D" and a CR become
// "_x000D_x000D_"). An upper-case X is taken as well: escaping its underscore is read back
// as the same text by every reader, whether or not it takes "_X" as an escape.
bool StartsEscape(QStringView text, qsizetype i)
{
    if (i + 6 >= text.size())
        return false;
    const char16_t x = text[i + 1].unicode();
    if (x != u'x' && x != u'X')
        return false;
    for (qsizetype k = i + 2; k < i + 6; ++k)
        if (!IsHexDigit(text[k].unicode()))
            return false;
    const char16_t end = text[i + 6].unicode();
    return end == u'_' || EscapedByLibrary(end) || EscapedHere(end);
}

void AppendEscape(QString& out, char16_t c)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += QLatin1String("_x");
    for (int shift = 12; shift >= 0; shift -= 4)
        out += QLatin1Char(kDigits[(c >> shift) & 0xF]);
    out += QLatin1Char('_');
}

} // namespace

QByteArray SheetText(QStringView text)
{
    QString written;
    written.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'_' && StartsEscape(text, i))
            written += QLatin1String("_x005F_");
        else if (EscapedHere(c))
            AppendEscape(written, c);
        else
            written += QChar(c);
    }
    return written.toUtf8();
}
