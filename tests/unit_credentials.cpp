// The stored default password: Windows-1251 conversion, the descrambling routines and their
// inverses, the language file reader, and the auditor-scramble tool that writes the file.

#include "db/DbPasswordFromLngUnit.h"
#include "db/EncryptUnit.h"
#include "db/Exception.h"
#include "common/CodePage1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <iconv.h>
#include <ostream>
#include <vector>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QByteArray Bytes(std::initializer_list<int> codes)
{
    QByteArray out;
    for (const int c : codes)
        out.append(char(c));
    return out;
}

QString Hex(QByteArrayView bytes) { return QString::fromLatin1(bytes.toByteArray().toHex(' ')); }

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// ---------------------------------------------------------------------------------------
// Windows-1251

// glibc's own CP1251 converter, one character at a time; false where it has no mapping.
struct Iconv {
    iconv_t cd;
    Iconv(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Iconv() { iconv_close(cd); }
    bool Convert(QByteArray in, QByteArray& out)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* src = in.data();
        size_t srcLeft = size_t(in.size());
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == size_t(-1))
            return false;
        out = QByteArray(buffer, qsizetype(sizeof buffer - dstLeft));
        return true;
    }
};

TEST(CodePage1251, AgreesWithGlibcInBothDirections)
{
    Iconv toUnicode("UTF-16LE", "CP1251");
    Iconv fromUnicode("CP1251", "UTF-16LE");
    ASSERT_NE(toUnicode.cd, iconv_t(-1));
    ASSERT_NE(fromUnicode.cd, iconv_t(-1));

    for (int b = 0; b < 256; ++b) {
        QByteArray utf16;
        const QString expected = toUnicode.Convert(Bytes({b}), utf16)
                                     ? QString(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2)
                                     : QStringLiteral("?");
        EXPECT_EQ(FromWindows1251(Bytes({b})), expected) << "byte " << b;
    }
    for (int u = 0; u < 0x10000; ++u) {
        if (QChar::isSurrogate(char16_t(u)))
            continue;
        const char16_t unit = char16_t(u);
        QByteArray byte;
        const QByteArray expected =
            fromUnicode.Convert(QByteArray(reinterpret_cast<const char*>(&unit), 2), byte) ? byte : QByteArray("?");
        ASSERT_EQ(ToWindows1251(QStringView(&unit, 1)), expected) << "U+" << std::hex << u;
        ASSERT_EQ(FitsWindows1251(QStringView(&unit, 1)), expected != "?" || u == '?') << "U+" << std::hex << u;
    }
}

TEST(CodePage1251, TextsAndWhatTheCodePageLacks)
{
    const QString bulgarian = QStringLiteral("Отстъпка лв. №5 «ЕИК» – Ѓ€");
    EXPECT_EQ(FromWindows1251(ToWindows1251(bulgarian)), bulgarian);
    // One "?" per character the code page lacks; a surrogate pair is one character.
    EXPECT_EQ(ToWindows1251(QStringLiteral("a😀bΩ")), QByteArray("a?b?"));
    EXPECT_FALSE(FitsWindows1251(QStringLiteral("a😀")));
    EXPECT_TRUE(FitsWindows1251(QStringLiteral("Парола?")));
    EXPECT_TRUE(ToWindows1251(QString()).isEmpty());
    EXPECT_TRUE(FromWindows1251(QByteArray()).isEmpty());
}

// ---------------------------------------------------------------------------------------
// Descrambling routines

TEST(StoredPassword, HexGroupsToText)
{
    const struct {
        QByteArray text;
        QByteArray expected;
    } cases[] = {
        {"41 42 43", "ABC"},
        {"41 42 43 ", "ABC"},                  // trailing blank
        {"4A", "J"},                           // upper- and lower-case digits
        {"4a", "J"},
        {"", ""},
        {"4", Bytes({4})},                     // a lone last digit
        {"4142", Bytes({0x41, 2})},            // missing blank: groups stay three apart
        {"FF E0 C0", Bytes({0xFF, 0xE0, 0xC0})}, // codes 128..255 are bytes of the scrambled text
        {"ZZ 41", "?A"},                       // a code above 255 (no hex digits) has no byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexGroupsToText(c.text), c.expected) << c.text.constData();
}

TEST(StoredPassword, HexToInt)
{
    const struct {
        const char* digits;
        int expected;
    } cases[] = {
        {"FF", 255}, {"0a", 10}, {"ff", 255}, {"10", 16}, {"100", 256}, {"", 0},
        {":", 10},   // codes 48..63 count as code - 48
        {"G", 16},   // any other: (code - 55) mod 256
        {" ", 233},  // (32 - 55) mod 256
        {"zz", 35 * 16 + 35},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexToInt(QByteArrayView(c.digits)), c.expected) << '"' << c.digits << '"';
}

TEST(StoredPassword, RestoreKeyPieceAndItsInverse)
{
    EXPECT_EQ(RestoreKeyPiece("A"), QByteArray("A"));
    EXPECT_EQ(RestoreKeyPiece("AB"), QByteArray("AB"));
    EXPECT_EQ(RestoreKeyPiece(""), QByteArray());
    // (x0, x1, x2) -> (x1-101, x2-102, x0-103) mod 256; the fourth stays.
    EXPECT_EQ(Hex(RestoreKeyPiece("abcd")), Hex(Bytes({0xFD, 0xFD, 0xFA, 'd'})));
    EXPECT_EQ(RestoreKeyPiece(Bytes({103, 101, 102, 'x', 'y'})), Bytes({0, 0, 0, 'x', 'y'}));
    EXPECT_EQ(Hex(RestoreKeyPiece(Bytes({0x10, 0x80, 0xFF, 0x67, 0x65, 0x66}))),
              Hex(Bytes({0x80 - 101, 0xFF - 102, 0x10 - 103 + 256, 0, 0, 0})));

    for (int len = 0; len <= 8; ++len) {
        QByteArray piece;
        for (int i = 0; i < len; ++i)
            piece.append(char(37 * i + 200));
        EXPECT_EQ(RestoreKeyPiece(HideKeyPiece(piece)), piece) << "length " << len;
    }
}

TEST(StoredPassword, DecodePassShiftsWithinTheAlphabet)
{
    // A one-character key moves every code of the alphabet by the same amount, wrapping
    // around inside 32..255.
    for (const int k : {32, 65, 0xC6, 255}) {
        const int shift = ((32 - k) % 224 + 224) % 224;
        for (int c = 32; c <= 255; ++c) {
            const int out = static_cast<unsigned char>(DecodePass(Bytes({c}), Bytes({k}))[0]);
            ASSERT_GE(out, 32);
            ASSERT_EQ(out, (c - 32 + shift) % 224 + 32) << "c=" << c << " k=" << k;
        }
    }
    EXPECT_EQ(DecodePass("A", "A"), QByteArray(" "));
    EXPECT_EQ(DecodePass(" ", "A"), Bytes({223}));
    // The key repeats along the text.
    EXPECT_EQ(DecodePass("AAA", "AB"), Bytes({32, 255, 32}));
    // Below the alphabet the truncated remainder still gives a byte (1..31), never a negative.
    EXPECT_EQ(DecodePass(Bytes({0}), Bytes({250})), Bytes({6}));
    // No key, no change (and no division by zero).
    EXPECT_EQ(DecodePass("abc", ""), QByteArray("abc"));
}

TEST(StoredPassword, EncodePassUndoesDecodePassForAnyKey)
{
    const QByteArray keys[] = {Bytes({32}), Bytes({5}), Bytes({0xC1, 0xF3, 0xEA}), Bytes({255, 0, 128, 64})};
    QByteArray alphabet;
    for (int c = 32; c <= 255; ++c)
        alphabet.append(char(c));
    for (const QByteArray& key : keys) {
        const QByteArray encoded = EncodePass(alphabet, key);
        for (const char b : encoded)
            ASSERT_GE(static_cast<unsigned char>(b), 32);
        EXPECT_EQ(DecodePass(encoded, key), alphabet) << Hex(key).toStdString();
    }
}

TEST(StoredPassword, RoundTripOfEveryCharacterAndOfWholePasswords)
{
    const QRegularExpression format(QStringLiteral("^[0-9A-F]{2}( [0-9A-F]{2})*$"));
    for (int c = 32; c <= 255; ++c) {
        const QByteArray stored = EncodeStoredPassword(Bytes({c}));
        ASSERT_TRUE(format.match(QString::fromLatin1(stored)).hasMatch()) << stored.constData();
        ASSERT_EQ(DecodeStoredPassword(stored), Bytes({c})) << "code " << c;
    }
    const QString passwords[] = {
        QStringLiteral("sql"), QStringLiteral("парола"), QStringLiteral(" Тайна Парола 2026! "),
        QStringLiteral("a;b{c}d=e\"f'g/h"), QStringLiteral("ЁёЇї№€™"),
    };
    for (const QString& p : passwords) {
        const QByteArray stored = EncodeStoredPassword(ToWindows1251(p));
        EXPECT_EQ(FromWindows1251(DecodeStoredPassword(stored)), p);
        // Some passwords scramble to bytes above 127: they must survive the hex groups.
        EXPECT_EQ(EncodeStoredPassword(DecodeStoredPassword(stored)), stored);
    }
    // A password of all 224 codes at once (different key positions for each).
    QByteArray all;
    for (int c = 255; c >= 32; --c)
        all.append(char(c));
    EXPECT_EQ(DecodeStoredPassword(EncodeStoredPassword(all)), all);
    EXPECT_EQ(EncodeStoredPassword(""), QByteArray());
}

TEST(StoredPassword, ControlCharactersCannotBeStored)
{
    for (const int c : {0, 9, 10, 31})
        EXPECT_THROW(EncodeStoredPassword(QByteArray("ab") + char(c)), Exception) << "code " << c;
}

// ---------------------------------------------------------------------------------------
// Language file

class LngFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path() const { return dir.filePath(kLngFileName); }
    void Write(const QByteArray& bytes) { WriteAll(Path(), bytes); }
    static QByteArray Stored(const QString& password) { return EncodeStoredPassword(ToWindows1251(password)); }
};

TEST_F(LngFile, NoFileNoKeyNoPassword)
{
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(ReadStoredDbPassword(dir.path()), QString());

    const QByteArray stored = Stored(QStringLiteral("sql"));
    const QByteArray files[] = {
        "",
        "[Strings]\n0098=" + stored + "\n",            // another key
        "[Other]\n0099=" + stored + "\n",              // the key in another section
        "0099=" + stored + "\n[Strings]\n",            // before any section
        "[Strings]\n; 0099=" + stored + "\n",          // commented out
        "[Strings]\n0099=\n",                          // empty value
        "[Strings]\n0099=/\n",                         // "/" means none
        "[Strings]\n0099=/" + stored + "\n",           // a leading "/" switches a value off
        "[Strings]\n0099 = \"/" + stored + "\"\n",
    };
    for (const QByteArray& content : files) {
        Write(content);
        EXPECT_EQ(ReadStoredDbPassword(dir.path()), QString()) << content.constData();
    }
}

TEST_F(LngFile, ReadsTheStoredPasswordWithAndWithoutTrailingSlash)
{
    const QString password = QStringLiteral("Парола 7");
    Write("; comment\n[Menu]\n0099=41 42\n[Strings]\n0001=Файл\n0099=" + Stored(password) + "\n0100=x\n");
    EXPECT_EQ(ReadStoredDbPassword(dir.path()), password);
    EXPECT_EQ(ReadStoredDbPassword(dir.path() + u'/'), password);
    EXPECT_EQ(ReadStoredDbPassword(dir.path() + QStringLiteral("/sub")), QString()); // another directory
}

TEST_F(LngFile, FileVariantsAllReadTheSameValue)
{
    const QString password = QStringLiteral("Таен ключ");
    const QByteArray stored = Stored(password);
    const QByteArray cp1251Comment = ToWindows1251(QStringLiteral("; Български език\n")); // not valid UTF-8
    const QByteArray variants[] = {
        "[Strings]\r\n0099=" + stored + "\r\n",                      // CRLF
        "[strings]\n0099=" + stored,                                 // letter case, no final newline
        "  [ Strings ]  \n   0099   =   " + stored + "   \n",        // blanks around names and value
        "[Strings]\n0099=\"" + stored + "\"\n",                      // double quotes
        "[Strings]\n0099='" + stored + "'\n",                        // single quotes
        "[Strings]\n0099=" + stored + "\n0099=41\n",                 // the first one wins
        "[Strings]\n[Strings]\n0099=" + stored + "\n",
        cp1251Comment + "[Strings]\n0099=" + stored + "\n",          // Windows-1251 file
        "\xEF\xBB\xBF[Strings]\n0099=" + stored + "\n",              // UTF-8 with BOM
    };
    for (const QByteArray& content : variants) {
        Write(content);
        EXPECT_EQ(ReadStoredDbPassword(dir.path()), password) << content.constData();
    }
    // UTF-16 (Windows "Unicode") with its byte-order mark.
    const QString text = QStringLiteral("[Strings]\r\n0099=") + QString::fromLatin1(stored) + QStringLiteral("\r\n");
    Write(QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
    EXPECT_EQ(ReadStoredDbPassword(dir.path()), password);
}

TEST_F(LngFile, ValuesAreCutTo254Characters)
{
    Write("[Strings]\nlong=" + QByteArray(300, 'x') + "\n");
    EXPECT_EQ(ReadIniValue(Path(), u"Strings", u"long"), QString(254, u'x'));

    // 86 characters need 257: the last group is cut off, so the last character is lost.
    QString password;
    for (int i = 0; i < 86; ++i)
        password += QChar(u'А' + i % 32);
    Write("[Strings]\n0099=" + Stored(password) + "\n");
    EXPECT_EQ(ReadStoredDbPassword(dir.path()), password.left(85));
    EXPECT_EQ(kStoredPasswordMaxLength, 85);
}

TEST_F(LngFile, MalformedValueStillYieldsSomeText)
{
    Write("[Strings]\n0099=zz-x\n");
    EXPECT_FALSE(ReadStoredDbPassword(dir.path()).isEmpty());
}

TEST(LngFileDeployed, DemoPasswordBesideTheExecutables)
{
    const QString binDir = QStringLiteral(AUDITOR_BIN_DIR);
    ASSERT_TRUE(QFileInfo::exists(binDir + u'/' + kLngFileName)) << "no Bulgarian.lng in " << binDir.toStdString();
    EXPECT_EQ(ReadStoredDbPassword(binDir), QStringLiteral("sql"));
}

// ---------------------------------------------------------------------------------------
// auditor-scramble

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun Scramble(const QStringList& args, const QByteArray& input = {})
{
    const QString program = QStringLiteral(AUDITOR_BIN_DIR "/auditor-scramble");
    ToolRun run;
    if (!QFileInfo(program).isExecutable()) {
        ADD_FAILURE() << program.toStdString() << " missing: build the auditor-scramble target";
        return run;
    }
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000)) {
        ADD_FAILURE() << "auditor-scramble did not finish";
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

class ScrambleTool : public LngFile {};

TEST_F(ScrambleTool, WritesAFileTheProgramReadsBack)
{
    const QString passwords[] = {QStringLiteral("sql"), QStringLiteral("Парола №1 «x»"), QStringLiteral("-dash"),
                                 QString(85, u'я')};
    for (const QString& password : passwords) {
        SCOPED_TRACE(password.toStdString());
        QFile::remove(Path());
        const ToolRun run = Scramble({QStringLiteral("--lng"), Path(), QStringLiteral("--"), password});
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(ReadStoredDbPassword(dir.path()), password);
        EXPECT_EQ(run.out.trimmed(), ReadIniValue(Path(), kLngPasswordSection, kLngPasswordKey).toLatin1());
        EXPECT_EQ(run.out.trimmed(), Stored(password));
    }
}

TEST_F(ScrambleTool, PasswordFromStandardInput)
{
    const QString password = QStringLiteral(" с интервали ");
    const ToolRun fromArg = Scramble({password});
    const ToolRun fromStdin = Scramble({}, password.toUtf8() + "\r\nsecond line\n");
    ASSERT_EQ(fromArg.exitCode, 0) << fromArg.err.constData();
    ASSERT_EQ(fromStdin.exitCode, 0) << fromStdin.err.constData();
    EXPECT_EQ(fromStdin.out, fromArg.out);
    EXPECT_EQ(FromWindows1251(DecodeStoredPassword(fromStdin.out.trimmed())), password);
}

TEST_F(ScrambleTool, UpdatesAnExistingFileKeepingEverythingElse)
{
    const QByteArray cyrillic = ToWindows1251(QStringLiteral("Файл"));
    const QByteArray before = "; header\r\n[Menu]\r\n0099=keep me\r\n[STRINGS]\r\n0001=" + cyrillic +
                              "\r\n0099 = 41 41\r\n0100=x\r\n[Tail]\r\nz=1";
    Write(before);
    ToolRun run = Scramble({QStringLiteral("--lng"), Path(), QStringLiteral("sql")});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QByteArray stored = Stored(QStringLiteral("sql"));
    QByteArray expected = before;
    expected.replace("0099 = 41 41", "0099=" + stored);
    EXPECT_EQ(ReadAll(Path()), expected);

    // A section without the key gets it right under its header.
    Write("[Strings]\n0001=a\n[Other]\nb=2\n");
    run = Scramble({QStringLiteral("--lng"), Path(), QStringLiteral("sql")});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(ReadAll(Path()), "[Strings]\n0099=" + stored + "\n0001=a\n[Other]\nb=2\n");

    // No such section: appended, after the missing final line end.
    Write("[Other]\nb=2");
    run = Scramble({QStringLiteral("--lng"), Path(), QStringLiteral("sql")});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(ReadAll(Path()), "[Other]\nb=2\n[Strings]\n0099=" + stored + "\n");
    EXPECT_EQ(ReadStoredDbPassword(dir.path()), QStringLiteral("sql"));
}

TEST_F(ScrambleTool, RefusesPasswordsThatCannotComeBack)
{
    const QByteArray before = "[Strings]\n0099=" + Stored(QStringLiteral("old")) + "\n";
    const QString refused[] = {
        QString(),                         // empty means "no stored password"
        QStringLiteral("日本"),            // not in Windows-1251
        QString(86, u'a'),                 // its stored form would be cut at 254 characters
        QStringLiteral("tab\there"),       // control character
    };
    for (const QString& password : refused) {
        SCOPED_TRACE(password.toStdString());
        Write(before);
        const ToolRun run = Scramble({QStringLiteral("--lng"), Path(), password});
        EXPECT_EQ(run.exitCode, 2) << run.err.constData();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(run.err.isEmpty());
        EXPECT_EQ(ReadAll(Path()), before);
    }
    EXPECT_EQ(Scramble({QStringLiteral("--lng")}).exitCode, 1);
    EXPECT_EQ(Scramble({QStringLiteral("--bogus"), QStringLiteral("x")}).exitCode, 1);
    EXPECT_EQ(Scramble({QStringLiteral("a"), QStringLiteral("b")}).exitCode, 1);
    EXPECT_EQ(Scramble({}, QByteArray()).exitCode, 1);
}

TEST_F(ScrambleTool, UnwritableFileIsReported)
{
    const QString target = dir.filePath(QStringLiteral("missing-dir/") + kLngFileName);
    const ToolRun run = Scramble({QStringLiteral("--lng"), target, QStringLiteral("sql")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_FALSE(QFileInfo::exists(target));
}

} // namespace
