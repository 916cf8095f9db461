// Scrambling and unscrambling of the stored default password.
#include "db/EncryptUnit.h"

#include "db/Exception.h"

#include <QStringLiteral>

namespace {

constexpr int kAlphabetFirst = 32;
constexpr int kAlphabetSize = 224; // codes 32..255

// The four keys, in the order the descrambling applies them (Windows-1251 bytes).
// The first is kept only in hidden form (HideKeyPiece of "Зора"); RestoreKeyPiece
// gives it back when needed.
constexpr char kHiddenKey1[] = "\x57\x2C\x54\xE0";
constexpr char kKey2[] = "\xC1\xF3\xEA"; // "Бук"
constexpr char kKey3[] = "\xC6";         // "Ж"
constexpr char kKey4[] = "\xFA\xFF";     // "ъя"

QByteArrayView View(const char* s) { return QByteArrayView(s, qstrlen(s)); }

int Byte(char c) { return static_cast<unsigned char>(c); }

int NonNegativeMod(int value, int modulus) { return ((value % modulus) + modulus) % modulus; }

} // namespace

int HexToInt(QByteArrayView digits)
{
    quint32 sum = 0;
    quint32 weight = 1;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        int code = Byte(digits[i]);
        if (code >= 'a' && code <= 'z')
            code -= 'a' - 'A';
        const quint32 value = (code >= 48 && code <= 63) ? quint32(code - 48) : quint32(NonNegativeMod(code - 55, 256));
        sum += value * weight;
        weight *= 16;
    }
    return static_cast<int>(sum);
}

QByteArray HexGroupsToText(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() / 3 + 1);
    for (qsizetype pos = 0; pos < text.size(); pos += 3) {
        const int code = HexToInt(text.sliced(pos, qMin<qsizetype>(2, text.size() - pos)));
        out.append(code >= 0 && code <= 255 ? char(code) : '?');
    }
    return out;
}

QByteArray DecodePass(QByteArrayView text, QByteArrayView key)
{
    if (key.isEmpty())
        return text.toByteArray();
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int c = Byte(text[i]);
        const int k = Byte(key[i % key.size()]);
        // C++ % truncates toward zero, which is the remainder the format is defined with;
        // the result lies in 1..255 for any two bytes.
        out[i] = char(((c - k + kAlphabetSize) % kAlphabetSize) + kAlphabetFirst);
    }
    return out;
}

QByteArray EncodePass(QByteArrayView text, QByteArrayView key)
{
    if (key.isEmpty())
        return text.toByteArray();
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int p = Byte(text[i]);
        const int k = Byte(key[i % key.size()]);
        out[i] = char(NonNegativeMod(p - kAlphabetFirst + k - kAlphabetFirst, kAlphabetSize) + kAlphabetFirst);
    }
    return out;
}

QByteArray RestoreKeyPiece(QByteArrayView piece)
{
    if (piece.size() < 3)
        return piece.toByteArray();
    QByteArray out;
    out.reserve(piece.size());
    qsizetype i = 0;
    for (; i + 3 <= piece.size(); i += 3) {
        out.append(char(Byte(piece[i + 1]) - 101));
        out.append(char(Byte(piece[i + 2]) - 102));
        out.append(char(Byte(piece[i]) - 103));
    }
    out.append(piece.sliced(i));
    return out;
}

QByteArray HideKeyPiece(QByteArrayView piece)
{
    if (piece.size() < 3)
        return piece.toByteArray();
    QByteArray out;
    out.reserve(piece.size());
    qsizetype i = 0;
    for (; i + 3 <= piece.size(); i += 3) {
        out.append(char(Byte(piece[i + 2]) + 103));
        out.append(char(Byte(piece[i]) + 101));
        out.append(char(Byte(piece[i + 1]) + 102));
    }
    out.append(piece.sliced(i));
    return out;
}

QByteArray TextToHexGroups(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() * 3);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i > 0)
            out.append(' ');
        out.append(QByteArray::number(Byte(text[i]), 16).rightJustified(2, '0').toUpper());
    }
    return out;
}

QByteArray DecodeStoredPassword(QByteArrayView text)
{
    QByteArray t = HexGroupsToText(text);
    t = DecodePass(t, RestoreKeyPiece(View(kHiddenKey1)));
    t = DecodePass(t, View(kKey2));
    t = DecodePass(t, View(kKey3));
    return DecodePass(t, View(kKey4));
}

QByteArray EncodeStoredPassword(QByteArrayView password)
{
    for (const char c : password)
        if (Byte(c) < kAlphabetFirst)
            throw Exception(QStringLiteral("The password contains a control character (code %1); it cannot be stored.")
                                .arg(Byte(c)));
    QByteArray t = EncodePass(password, View(kKey4));
    t = EncodePass(t, View(kKey3));
    t = EncodePass(t, View(kKey2));
    t = EncodePass(t, RestoreKeyPiece(View(kHiddenKey1)));
    return TextToHexGroups(t);
}
