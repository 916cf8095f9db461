#pragma once
// The default database password stored, scrambled, in the language file beside the
// executable: file "Bulgarian.lng", section [Strings], key 0099.
//
// The language file is an INI file read here without QSettings (which treats keys
// such as "0099" and the file's encoding in its own way). Reading follows the usual
// Windows profile rules: section and key names compare without regard to letter case,
// blanks around names and values are dropped, a value in matching single or double
// quotes loses them, lines starting with ";" are comments, and the first match wins.
// Encoding: a byte-order mark decides (UTF-8, UTF-16 LE/BE); without one the file is
// UTF-8 when it is valid UTF-8, otherwise Windows-1251 (the language files of the
// Windows installations).

#include <QString>
#include <QStringView>

inline const QString kLngFileName = QStringLiteral("Bulgarian.lng");
inline const QString kLngPasswordSection = QStringLiteral("Strings");
inline const QString kLngPasswordKey = QStringLiteral("0099");
// Longest value a profile read returns (a 255-character buffer with its terminating zero).
inline constexpr int kLngValueMaxLength = 254;
// Longest password whose stored form ("XX XX ... XX", 3 characters a byte less one) fits.
inline constexpr int kStoredPasswordMaxLength = (kLngValueMaxLength + 1) / 3;

// Value of `key` in `section` of the INI file, cut to kLngValueMaxLength characters;
// empty when the file, the section or the key is missing.
QString ReadIniValue(const QString& fileName, QStringView section, QStringView key);

// Sets `key` in `section` to `value`, keeping every other byte of the file: an existing
// key line is replaced, a missing key goes right under the section's header, a missing
// section is appended, a missing file is created (UTF-8). Written atomically. Returns
// false with a message in `error` when the file cannot be read or written, or is UTF-16.
bool WriteIniValue(const QString& fileName, QStringView section, QStringView key, QStringView value,
                   QString* error = nullptr);

// The descrambled default password of the language file in `exeDir` (with or without a
// trailing "/"), or an empty string when there is none: no file, no key, an empty value
// or one starting with "/".
QString ReadStoredDbPassword(const QString& exeDir);
