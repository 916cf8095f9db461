#pragma once
// Reading a written zip file back (a workbook is one): its central directory, ZIP64
// included, and whether every XML part inside it is whole.

#include <QString>
#include <cstdint>
#include <vector>

struct TZipEntry {
    QString Name;
    std::uint64_t Size = 0;           // uncompressed bytes
    std::uint64_t CompressedSize = 0;
    std::uint64_t Offset = 0;         // of its local header
    std::uint16_t Method = 0;         // 0 stored, 8 deflated
};

// The entries of the zip file at `path`. Throws Exception when the file cannot be read or
// does not end with a complete central directory.
std::vector<TZipEntry> ReadZipDirectory(const QString& path);

// The first entry of the zip file at `path` that is not whole: empty, or an XML part
// (".xml", ".rels") that does not end with the closing tag of its root element. Every part
// is inflated to see its end. Empty when every part is whole; throws Exception when the
// file is no zip file or a part cannot be read.
QString FirstIncompleteZipPart(const QString& path);
