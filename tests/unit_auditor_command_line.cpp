// auditor --help and --version run as the built program with no display at all: they answer
// before the application is made, so they exit 0 where the window could not start.
#include "app/ProgramCommandLineUnit.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

struct AuditorRun {
    int exitCode = -1;
    QByteArray out, err;
};

// The program with no display, no Wayland and no Qt platform named.
AuditorRun RunAuditorWithoutDisplay(const QStringList& args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(AUDITOR_BIN_DIR "/auditor"), args);
    EXPECT_TRUE(p.waitForFinished(60000)) << "auditor did not finish";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "auditor crashed";
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

TEST(AuditorCommandLine, HelpAndVersionNeedNoDisplay)
{
    const struct {
        QStringList args;
        QByteArray out;
    } cases[] = {
        {{"--help"}, kAuditorUsage},
        {{"-h"}, kAuditorUsage},
        {{"AuditDemoPg", "sql", "--help"}, kAuditorUsage},
        {{"--version"}, "auditor " AUDITOR_VERSION "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const AuditorRun r = RunAuditorWithoutDisplay(c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    }

    // The usage names the window's arguments and these options, in the program's language.
    const QString usage = QString::fromUtf8(kAuditorUsage);
    EXPECT_TRUE(usage.startsWith(QStringLiteral("употреба: auditor [ИЗТОЧНИК ПАРОЛА]\n"))) << kAuditorUsage;
    for (const char* option : {"--help", "--version", "auditor-export --help"})
        EXPECT_TRUE(usage.contains(QLatin1String(option))) << option;

    // The exporter's version is the same one.
    QProcess exporter;
    exporter.start(QStringLiteral(AUDITOR_BIN_DIR "/auditor-export"), {QStringLiteral("--version")});
    ASSERT_TRUE(exporter.waitForFinished(60000));
    EXPECT_EQ(exporter.readAllStandardOutput(), QByteArray("auditor-export " AUDITOR_VERSION "\n"));
}

} // namespace
