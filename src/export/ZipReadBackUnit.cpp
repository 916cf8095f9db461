// Reading a written zip file back: its central directory and the ends of its XML parts.
#include "ZipReadBackUnit.h"

#include "db/Exception.h"

#include <QFile>
#include <algorithm>
#include <zlib.h>

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEnd64Signature = 0x06064b50;
constexpr std::uint32_t kEnd64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kEntrySignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr qint64 kEndSize = 22;
constexpr qint64 kMaxComment = 0xffff;
constexpr std::uint64_t kNoValue32 = 0xffffffff;

std::uint64_t Le(const char* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | std::uint8_t(p[i]);
    return v;
}

[[noreturn]] void Broken(const QString& path, const char* what)
{
    throw Exception(QStringLiteral("\"%1\" is not a complete zip file (%2)").arg(path, QLatin1String(what)));
}

QByteArray ReadAt(QFile& file, qint64 offset, qint64 size)
{
    if (offset < 0 || size < 0 || offset + size > file.size() || !file.seek(offset))
        return {};
    QByteArray bytes = file.read(size);
    return bytes.size() == size ? bytes : QByteArray();
}

void OpenForReading(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("\"%1\" cannot be read: %2").arg(file.fileName(), file.errorString()));
}

std::vector<TZipEntry> ReadDirectory(QFile& file)
{
    const QString path = file.fileName();
    const qint64 size = file.size();
    const qint64 tailSize = std::min(size, kEndSize + kMaxComment);
    const QByteArray tail = ReadAt(file, size - tailSize, tailSize);
    if (tail.size() < kEndSize)
        Broken(path, "too short");

    // The end record: the last place its signature stands with its comment reaching the end.
    qint64 end = -1;
    for (qint64 i = tail.size() - kEndSize; i >= 0; --i) {
        const char* p = tail.constData() + i;
        if (Le(p, 4) == kEndSignature && i + kEndSize + qint64(Le(p + 20, 2)) == tail.size()) {
            end = i;
            break;
        }
    }
    if (end < 0)
        Broken(path, "no end of central directory");
    const char* e = tail.constData() + end;
    std::uint64_t count = Le(e + 10, 2);
    std::uint64_t dirSize = Le(e + 12, 4);
    std::uint64_t dirOffset = Le(e + 16, 4);
    if (count == 0xffff || dirSize == kNoValue32 || dirOffset == kNoValue32) {
        const QByteArray locator = ReadAt(file, size - tailSize + end - 20, 20);
        if (locator.isEmpty() || Le(locator.constData(), 4) != kEnd64LocatorSignature)
            Broken(path, "no ZIP64 locator");
        const QByteArray end64 = ReadAt(file, qint64(Le(locator.constData() + 8, 8)), 56);
        if (end64.isEmpty() || Le(end64.constData(), 4) != kEnd64Signature)
            Broken(path, "no ZIP64 end record");
        count = Le(end64.constData() + 32, 8);
        dirSize = Le(end64.constData() + 40, 8);
        dirOffset = Le(end64.constData() + 48, 8);
    }
    const QByteArray dir = ReadAt(file, qint64(dirOffset), qint64(dirSize));
    if (dir.size() != qint64(dirSize))
        Broken(path, "central directory outside the file");

    std::vector<TZipEntry> entries;
    qint64 at = 0;
    for (std::uint64_t n = 0; n < count; ++n) {
        if (at + 46 > dir.size() || Le(dir.constData() + at, 4) != kEntrySignature)
            Broken(path, "damaged central directory");
        const char* h = dir.constData() + at;
        const qint64 nameLen = qint64(Le(h + 28, 2));
        const qint64 extraLen = qint64(Le(h + 30, 2));
        const qint64 commentLen = qint64(Le(h + 32, 2));
        if (at + 46 + nameLen + extraLen + commentLen > dir.size())
            Broken(path, "damaged central directory");
        TZipEntry entry;
        entry.Name = QString::fromUtf8(h + 46, nameLen);
        entry.Method = std::uint16_t(Le(h + 10, 2));
        entry.CompressedSize = Le(h + 20, 4);
        entry.Size = Le(h + 24, 4);
        entry.Offset = Le(h + 42, 4);
        // Values that do not fit 32 bits stand in the ZIP64 extra block, in this order.
        std::uint64_t* wide[] = {&entry.Size, &entry.CompressedSize, &entry.Offset};
        for (const char* x = h + 46 + nameLen; x + 4 <= h + 46 + nameLen + extraLen;) {
            const qint64 len = qint64(Le(x + 2, 2));
            if (Le(x, 2) == 1) {
                qint64 used = 0;
                for (std::uint64_t* value : wide) {
                    if (*value != kNoValue32)
                        continue;
                    if (used + 8 > len)
                        Broken(path, "damaged ZIP64 extra block");
                    *value = Le(x + 4 + used, 8);
                    used += 8;
                }
                break;
            }
            x += 4 + len;
        }
        entries.push_back(std::move(entry));
        at += 46 + nameLen + extraLen + commentLen;
    }
    return entries;
}

// The first and the last bytes of an entry's content, inflated.
void ReadEnds(QFile& file, const TZipEntry& entry, QByteArray& head, QByteArray& tail)
{
    constexpr qsizetype kKeep = 256;
    const QString path = file.fileName();
    const QByteArray local = ReadAt(file, qint64(entry.Offset), 30);
    if (local.isEmpty() || Le(local.constData(), 4) != kLocalSignature)
        Broken(path, "damaged local header");
    qint64 at = qint64(entry.Offset) + 30 + qint64(Le(local.constData() + 26, 2)) + qint64(Le(local.constData() + 28, 2));
    qint64 left = qint64(entry.CompressedSize);
    if (at + left > file.size() || !file.seek(at))
        Broken(path, "entry outside the file");
    auto keep = [&](const char* p, qsizetype n) {
        if (head.size() < kKeep)
            head.append(p, std::min(n, kKeep - head.size()));
        tail.append(p, n);
        if (tail.size() > 2 * kKeep)
            tail.remove(0, tail.size() - kKeep);
    };
    QByteArray in(1 << 16, Qt::Uninitialized);
    if (entry.Method == 0) {
        while (left > 0) {
            const qint64 got = file.read(in.data(), std::min<qint64>(left, in.size()));
            if (got <= 0)
                Broken(path, "entry cut short");
            keep(in.constData(), qsizetype(got));
            left -= got;
        }
        return;
    }
    if (entry.Method != 8)
        Broken(path, "unknown compression");
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        throw Exception(QStringLiteral("The zip reader cannot start"));
    struct TEnd {
        z_stream* Z;
        ~TEnd() { inflateEnd(Z); }
    } end{&z};
    QByteArray out(1 << 16, Qt::Uninitialized);
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (left == 0)
                Broken(path, "entry cut short");
            const qint64 got = file.read(in.data(), std::min<qint64>(left, in.size()));
            if (got <= 0)
                Broken(path, "entry cut short");
            left -= got;
            z.next_in = reinterpret_cast<Bytef*>(in.data());
            z.avail_in = uInt(got);
        }
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            Broken(path, "damaged compressed data");
        keep(out.constData(), out.size() - qsizetype(z.avail_out));
    }
}

// The name of the root element of an XML text's beginning; empty when there is none.
QByteArray RootElement(const QByteArray& head)
{
    qsizetype at = 0;
    for (;;) {
        at = head.indexOf('<', at);
        if (at < 0 || at + 1 >= head.size())
            return {};
        const char next = head[at + 1];
        if (next != '?' && next != '!')
            break;
        ++at;
    }
    qsizetype end = at + 1;
    while (end < head.size() && !QByteArrayView(" \t\r\n/>").contains(head[end]))
        ++end;
    return head.mid(at + 1, end - at - 1);
}

} // namespace

std::vector<TZipEntry> ReadZipDirectory(const QString& path)
{
    QFile file(path);
    OpenForReading(file);
    return ReadDirectory(file);
}

QString FirstIncompleteZipPart(const QString& path)
{
    QFile file(path);
    OpenForReading(file);
    for (const TZipEntry& entry : ReadDirectory(file)) {
        if (entry.Size == 0)
            return entry.Name;
        if (!entry.Name.endsWith(QLatin1String(".xml")) && !entry.Name.endsWith(QLatin1String(".rels")))
            continue;
        QByteArray head, tail;
        ReadEnds(file, entry, head, tail);
        const QByteArray root = RootElement(head);
        if (root.isEmpty() || !tail.trimmed().endsWith("</" + root + '>'))
            return entry.Name;
    }
    return {};
}
