// Reading the stored default password from the language file.
#include "db/DbPasswordFromLngUnit.h"

#include "db/EncryptUnit.h"
#include "common/CodePage1251.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringTokenizer>

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF");

bool IsUtf16(const QByteArray& raw) { return raw.startsWith("\xFF\xFE") || raw.startsWith("\xFE\xFF"); }

bool IsValidUtf8(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString ignored = utf8(bytes);
    return !utf8.hasError();
}

// Text of an ASCII-compatible line (no byte-order mark) in the file's 8-bit encoding.
QString DecodeLine(QByteArrayView line, bool utf8)
{
    return utf8 ? QString::fromUtf8(line) : FromWindows1251(line);
}

QString DecodeWholeFile(const QByteArray& raw)
{
    if (raw.startsWith(kUtf8Bom))
        return QString::fromUtf8(QByteArrayView(raw).sliced(kUtf8Bom.size()));
    if (raw.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE)(QByteArrayView(raw).sliced(2));
    if (raw.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE)(QByteArrayView(raw).sliced(2));
    return DecodeLine(raw, IsValidUtf8(raw));
}

struct IniLine {
    enum Kind { Other, Section, Key } kind = Other;
    QStringView name;
    QStringView value;
};

IniLine ParseLine(QStringView line)
{
    line = line.trimmed();
    IniLine parsed;
    if (line.startsWith(u'[')) {
        const qsizetype close = line.indexOf(u']');
        parsed.kind = IniLine::Section;
        parsed.name = (close < 0 ? line.sliced(1) : line.sliced(1, close - 1)).trimmed();
        return parsed;
    }
    if (line.startsWith(u';'))
        return parsed;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return parsed;
    parsed.kind = IniLine::Key;
    parsed.name = line.first(eq).trimmed();
    QStringView value = line.sliced(eq + 1).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    parsed.value = value;
    return parsed;
}

bool SameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

QString ReadIniValue(const QString& fileName, QStringView section, QStringView key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = DecodeWholeFile(file.readAll());

    bool inSection = false;
    for (QStringView line : QStringTokenizer(text, u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const IniLine parsed = ParseLine(line);
        if (parsed.kind == IniLine::Section)
            inSection = SameName(parsed.name, section);
        else if (inSection && parsed.kind == IniLine::Key && SameName(parsed.name, key))
            return parsed.value.left(kLngValueMaxLength).toString();
    }
    return {};
}

bool WriteIniValue(const QString& fileName, QStringView section, QStringView key, QStringView value, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };

    QByteArray raw;
    QFile existing(fileName);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Cannot read %1: %2").arg(fileName, existing.errorString()));
        raw = existing.readAll();
        existing.close();
    }
    if (IsUtf16(raw))
        return fail(QStringLiteral("%1 is a UTF-16 file; only 8-bit language files can be updated.").arg(fileName));

    const bool hasBom = raw.startsWith(kUtf8Bom);
    const bool utf8 = hasBom || IsValidUtf8(raw);
    const QByteArray nl = raw.contains("\r\n") ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    auto encode = [utf8](const QString& s) { return utf8 ? s.toUtf8() : ToWindows1251(s); };
    const QByteArray keyLine = encode(key.toString() + u'=' + value.toString());

    // Line by line on the raw bytes, so that whatever is not touched stays byte for byte.
    QList<QByteArray> lines = raw.split('\n');
    qsizetype header = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArrayView bytes = lines[i];
        if (i == 0 && hasBom)
            bytes = bytes.sliced(kUtf8Bom.size());
        const bool cr = bytes.endsWith('\r');
        if (cr)
            bytes.chop(1);
        const QString text = DecodeLine(bytes, utf8);
        const IniLine parsed = ParseLine(text);
        if (parsed.kind == IniLine::Section) {
            inSection = SameName(parsed.name, section);
            if (inSection && header < 0)
                header = i;
        } else if (inSection && parsed.kind == IniLine::Key && SameName(parsed.name, key)) {
            lines[i] = (i == 0 && hasBom ? kUtf8Bom : QByteArray()) + keyLine + (cr ? "\r" : "");
            header = -2; // done
            break;
        }
    }

    QByteArray out;
    if (header == -2) {
        out = lines.join('\n');
    } else if (header >= 0) {
        lines.insert(header + 1, keyLine + (nl.size() == 2 ? "\r" : ""));
        out = lines.join('\n');
    } else {
        out = raw;
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += nl;
        out += encode(u'[' + section.toString() + u']') + nl + keyLine + nl;
    }

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit())
        return fail(QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()));
    return true;
}

QString ReadStoredDbPassword(const QString& exeDir)
{
    const QString path = exeDir + (exeDir.endsWith(u'/') ? QString() : QStringLiteral("/")) + kLngFileName;
    const QString value = ReadIniValue(path, kLngPasswordSection, kLngPasswordKey);
    if (value.isEmpty() || value.startsWith(u'/'))
        return {};
    return FromWindows1251(DecodeStoredPassword(ToWindows1251(value)));
}
