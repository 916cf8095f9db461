// auditor-scramble: makes the stored form of the default database password, the value of
// key 0099 in section [Strings] of Bulgarian.lng, and optionally writes it into such a file.
//
//   auditor-scramble [--lng FILE] [--] [PASSWORD]
//
// Without PASSWORD the first line of standard input is the password (keeps it out of the
// process list). The value is printed on standard output. Exit status: 0 done, 1 wrong
// usage, 2 a password that cannot be stored, 3 the file could not be written.

#include "db/DbPasswordFromLngUnit.h"
#include "db/EncryptUnit.h"
#include "db/Exception.h"
#include "common/CodePage1251.h"

#include <QString>
#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: auditor-scramble [--lng FILE] [--] [PASSWORD]\n"
    "Prints the stored form of PASSWORD (or of the first line of standard input) for key 0099\n"
    "of section [Strings] in Bulgarian.lng; with --lng also writes it into FILE, which is\n"
    "created when missing and otherwise keeps all its other lines.\n";

int Fail(int status, const QString& message)
{
    std::fprintf(stderr, "auditor-scramble: %s\n", message.toLocal8Bit().constData());
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");

    QString lngFile;
    QString password;
    bool havePassword = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnded && arg == u"--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == u"-h" || arg == u"--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!optionsEnded && arg == u"--lng") {
            if (++i >= argc)
                return Fail(1, QStringLiteral("--lng needs a file name"));
            lngFile = QString::fromLocal8Bit(argv[i]);
        } else if (!optionsEnded && arg.startsWith(u'-') && arg.size() > 1) {
            std::fputs(kUsage, stderr);
            return Fail(1, QStringLiteral("unknown option %1").arg(arg));
        } else if (!havePassword) {
            password = arg;
            havePassword = true;
        } else {
            std::fputs(kUsage, stderr);
            return Fail(1, QStringLiteral("more than one password given"));
        }
    }

    if (!havePassword) {
        std::string line;
        if (!std::getline(std::cin, line))
            return Fail(1, QStringLiteral("no password given and nothing on standard input"));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        password = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    }

    if (password.isEmpty())
        return Fail(2, QStringLiteral("the password is empty; an empty value already means \"no stored password\""));
    if (!FitsWindows1251(password))
        return Fail(2, QStringLiteral("the password has characters that Windows-1251 cannot hold"));
    const QByteArray bytes = ToWindows1251(password);
    if (bytes.size() > kStoredPasswordMaxLength)
        return Fail(2, QStringLiteral("the password is longer than %1 characters; its stored form would be cut")
                           .arg(kStoredPasswordMaxLength));

    QByteArray value;
    try {
        value = EncodeStoredPassword(bytes);
    } catch (const Exception& e) {
        return Fail(2, e.Message());
    }

    if (!lngFile.isEmpty()) {
        QString error;
        if (!WriteIniValue(lngFile, kLngPasswordSection, kLngPasswordKey, QString::fromLatin1(value), &error))
            return Fail(3, error);
    }
    std::fwrite(value.constData(), 1, size_t(value.size()), stdout);
    std::fputc('\n', stdout);
    return 0;
}
