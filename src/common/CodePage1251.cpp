// Windows-1251 both ways, through tables built once.
#include "common/CodePage1251.h"

#include <array>

namespace {

// Unicode of the bytes 0x80..0xFF; 0 marks the undefined byte 0x98.
constexpr char16_t kHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // C0: А..
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // E0: а..
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

struct Tables {
    std::array<char16_t, 256> toUnicode{};
    // Byte of every UTF-16 code unit; '?' where the code page has none. Surrogates map
    // to '?' as well, so a pair needs no special care beyond emitting one byte for it.
    std::array<char, 0x10000> fromUnicode{};

    Tables()
    {
        fromUnicode.fill('?');
        for (int b = 0; b < 128; ++b) {
            toUnicode[b] = char16_t(b);
            fromUnicode[b] = char(b);
        }
        for (int b = 128; b < 256; ++b) {
            const char16_t u = kHighHalf[b - 128];
            toUnicode[b] = u ? u : u'?';
            if (u)
                fromUnicode[u] = char(b);
        }
    }
};

const Tables& CodePage()
{
    static const Tables tables;
    return tables;
}

} // namespace

QByteArray ToWindows1251(QStringView text)
{
    QByteArray out;
    AppendWindows1251(out, text);
    return out;
}

qsizetype AppendWindows1251(QByteArray& out, QStringView text)
{
    const auto& table = CodePage().fromUnicode;
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char* dst = out.data() + start;
    const char16_t* src = text.utf16();
    const char16_t* const end = src + text.size();
    qsizetype replaced = 0;
    while (src != end) {
        const char16_t u = *src++;
        // A surrogate pair is one character outside the code page: one "?".
        if (QChar::isHighSurrogate(u) && src != end && QChar::isLowSurrogate(*src))
            ++src;
        const char b = table[u];
        replaced += b == '?' && u != u'?';
        *dst++ = b;
    }
    out.truncate(dst - out.constData());
    return replaced;
}

QString FromWindows1251(QByteArrayView bytes)
{
    const auto& table = CodePage().toUnicode;
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    for (const char b : bytes)
        *dst++ = table[static_cast<unsigned char>(b)];
    return out;
}

bool FitsWindows1251(QStringView text)
{
    const auto& table = CodePage().fromUnicode;
    for (const QChar c : text)
        if (table[c.unicode()] == '?' && c != u'?')
            return false;
    return true;
}
