#pragma once
// Scrambling of the default database password kept in the language file.
//
// Every text here is 8-bit Windows-1251. The stored form is a row of hex groups
// ("C1 0F 7A"), one group per byte of the scrambled text; the scrambled text is the
// password run through four Vigenere-like passes over the alphabet of codes 32..255.
// The Decode... side is what the program runs; the Encode... side exists to produce
// the stored value (see the auditor-scramble tool) and is its exact inverse.

#include <QByteArray>
#include <QByteArrayView>

// "41 42 43" -> "ABC": each group's first two characters go through HexToInt; groups are
// three characters apart, so a trailing blank or a missing last blank changes nothing.
// Codes 0..255 become the byte of the same value; a larger code (only possible from
// characters that are no hex digits) becomes "?".
QByteArray HexGroupsToText(QByteArrayView text);

// Lenient hex: "a".."z" count as upper case, codes 48..63 are worth code-48, anything
// else (code-55) mod 256. Nothing is rejected; the sum wraps around 32 bits.
int HexToInt(QByteArrayView digits);

// Shifts each byte back by the key byte at the same position (key repeated) within the
// alphabet 32..255: out = ((c - k + 224) rem 224) + 32. An empty key leaves the text as it is.
QByteArray DecodePass(QByteArrayView text, QByteArrayView key);

// Restores a key kept in hidden form: every complete group (x0, x1, x2) becomes
// (x1-101, x2-102, x0-103) mod 256; a tail of one or two bytes, or a piece shorter
// than three bytes, stays as it is.
QByteArray RestoreKeyPiece(QByteArrayView piece);

// The whole chain: hex groups -> text, then the four key passes. Returns the password.
QByteArray DecodeStoredPassword(QByteArrayView text);

// Inverses. "ABC" -> "41 42 43" (upper-case digits, no trailing blank).
QByteArray TextToHexGroups(QByteArrayView text);
// DecodePass(EncodePass(t, k), k) == t for every t of bytes 32..255 and any non-empty k.
QByteArray EncodePass(QByteArrayView text, QByteArrayView key);
// RestoreKeyPiece(HideKeyPiece(p)) == p for every p.
QByteArray HideKeyPiece(QByteArrayView piece);
// The value to store for `password`; DecodeStoredPassword gives the password back.
// Throws Exception when a byte lies outside the alphabet 32..255 (a control character),
// because such a password cannot come back out of the descrambling.
QByteArray EncodeStoredPassword(QByteArrayView password);
