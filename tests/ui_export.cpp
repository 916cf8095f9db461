// The export: text routines, the strategy sequence and its progress texts, the CSV files read
// back, the progress dialog, the save dialog loop, failures and cancel, a full disk, and a
// report window's export requests end to end.
#include "ExportFixture.h"

#include "export/WorkbookOpenerUnit.h"

#include <QFileDialog>
#include <sys/stat.h>

#include <sys/mman.h>

namespace {

TEST(TextRoutines, PadEscapeAndExtension)
{
    struct Pad {
        void (*fn)(QString&, int, QChar);
        const char* in;
        int len;
        const char* out;
    } pads[] = {
        {PadRight, "abcdefg", 5, "abcde"}, {PadLeft, "ab", 5, "   ab"}, {PadCenter, "ab", 5, " ab  "},
        {PadCenter, "ab", 6, "  ab  "},    {PadLeft, "abcdef", 3, "abc"}, {PadRight, "", 2, "  "},
    };
    for (const Pad& p : pads) {
        QString s = QString::fromUtf8(p.in);
        p.fn(s, p.len, QLatin1Char(' '));
        EXPECT_EQ(s, QString::fromUtf8(p.out)) << p.in;
    }
    const struct {
        const char* in;
        const char* out;
    } escapes[] = {{"A\tB", "A\\-B"}, {"C:\\x", "C:\\\\x"}, {"a\r\nb", "a\\.\\_b"}, {"\\\t", "\\\\\\-"}, {"план", "план"}};
    for (const auto& e : escapes) {
        QString s = QString::fromUtf8(e.in);
        EscapeControlChars(s);
        EXPECT_EQ(s, QString::fromUtf8(e.out)) << e.in;
    }
    EXPECT_EQ(TExportTextStrategy::WithDefaultExtension(QStringLiteral("/t/report")), QStringLiteral("/t/report.csv"));
    EXPECT_EQ(TExportTextStrategy::WithDefaultExtension(QStringLiteral("/t/report.txt")), QStringLiteral("/t/report.txt"));
    EXPECT_EQ(TExportTextStrategy::WithDefaultExtension(QStringLiteral("/t/report.")), QStringLiteral("/t/report."));
    EXPECT_EQ(TExportTextStrategy::WithDefaultExtension(QStringLiteral("/a.b/report")), QStringLiteral("/a.b/report.csv"));
}

// The report window's options: the caption row, one line per record, TAB, CR LF,
// Windows-1251 with "?" for what it lacks, escapes, NULL cells.
TEST_F(Export, CsvOfTheReportWindow)
{
    RExportOptions opts = TExportForm::GetDefaultOpts();
    opts.Header = false;
    opts.Title = QStringLiteral("Продажби Обобщени");
    opts.FileName = Path(QStringLiteral("out.csv"));
    Open();
    ASSERT_TRUE(Run(opts, 3));
    const QString expected = QStringLiteral("Код\tИме\tСума лв.\tДата\tБележка\r\n"
                                            "1\tХляб „Добруджа“\t12.5\t01.03.2026\ta\\-b\r\n"
                                            "2\tC:\\\\път\t-0.25\t31.12.2025\tред 1\\.\\_ред 2\r\n"
                                            "3\t?? €\t1000\t\t\r\n");
    EXPECT_EQ(ReadAll(opts.FileName), ToWindows1251(expected));

    // Zero records: the caption row only.
    Open(QString::fromUtf8(kCasesSql).replace(QStringLiteral("order by"), QStringLiteral("where Code < 0 order by")));
    ASSERT_TRUE(Run(opts, 0));
    EXPECT_EQ(ReadAll(opts.FileName), ToWindows1251(u"Код\tИме\tСума лв.\tДата\tБележка\r\n"));
}

TEST_F(Export, CsvWithTitleBlocksFixedWidthAndFooter)
{
    const QStringList conditions = {QStringLiteral("Период: март 2026")};
    const QStringList bottoms = {QStringLiteral("Σ"), QStringLiteral(""), QStringLiteral("1011.25"),
                                 QStringLiteral(""), QStringLiteral("")};
    const QStringList footer = {QStringLiteral("Край")};
    struct Case {
        const char* name;
        bool header, fixed;
        const char* title;
        const QStringList* conditions;
        const QStringList* bottoms;
        const QStringList* footer;
        QString quotes, delimiter;
        QStringList lines; // the file's lines; "*" stands for the three records as they come
    } cases[] = {
        {"bracketed title without header", false, false, "[Отчет]", nullptr, nullptr, nullptr, {}, "\t",
         {"[Отчет]", "Код\tИме\tСума лв.\tДата\tБележка", "*"}},
        {"header with conditions, bottoms and footer", true, false, "Sales", &conditions, &bottoms, &footer, {}, ";",
         {"Sales", "=====", "Период: март 2026", QString(50, QLatin1Char('-')), "Код;Име;Сума лв.;Дата;Бележка",
          QString(50, QLatin1Char('-')), "*", "", "?;;1011.25;;", "", "", "Край"}},
        {"header without conditions, quotes", true, false, "Sales", nullptr, nullptr, nullptr, "'", "",
         {"Sales", "", QString(50, QLatin1Char('-')), "'Код''Име''Сума лв.''Дата''Бележка'",
          QString(50, QLatin1Char('-')), "*", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RExportOptions opts = TExportForm::GetDefaultOpts();
        opts.Header = c.header;
        opts.FixedWidth = c.fixed;
        opts.Title = QString::fromUtf8(c.title);
        opts.Conditions = c.conditions;
        opts.ClmBottoms = c.bottoms;
        opts.Footer = c.footer;
        opts.Quotes = c.quotes;
        opts.ClmDelimiter = c.delimiter;
        opts.FileName = Path(QStringLiteral("blocks.csv"));
        Open();
        ASSERT_TRUE(Run(opts, 3));
        const QString text = FromWindows1251(ReadAll(opts.FileName));
        ASSERT_TRUE(text.endsWith(QStringLiteral("\r\n")));
        QStringList lines = text.left(text.size() - 2).split(QStringLiteral("\r\n"));
        const qsizetype star = c.lines.indexOf(QStringLiteral("*"));
        ASSERT_GE(star, 0);
        ASSERT_EQ(lines.size(), c.lines.size() + 2) << text.toStdString();
        lines.remove(star, 3);
        QStringList want = c.lines;
        want.remove(star);
        EXPECT_EQ(lines, want);
    }

    // Fixed width: every cell filled or cut to its field's display width, by alignment.
    RExportOptions opts = TExportForm::GetDefaultOpts();
    opts.Header = false;
    opts.FixedWidth = true;
    opts.ClmDelimiter.clear();
    opts.FileName = Path(QStringLiteral("fixed.csv"));
    Open();
    for (int i = 0; i < query->FieldCount(); ++i)
        query->Fields(i).DisplayWidth = 6;
    ASSERT_TRUE(Run(opts, 3));
    const QStringList lines = FromWindows1251(ReadAll(opts.FileName)).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines[0], QStringLiteral("   КодИме   Сума лДата  Бележк"));
    EXPECT_EQ(lines[1], QStringLiteral("     1Хляб „  12.501.03.a\\-b  "));
}

// Progress texts of the sequence for 0, 100 and 101 records.
TEST_F(Export, ProgressTexts)
{
    auto db2 = TestManager(dbSqlite, kScratchDsn);
    BuildExportTable(*db2, 98); // 101 rows in all
    RExportOptions opts = TExportForm::GetDefaultOpts();
    opts.FileName = Path(QStringLiteral("p.csv"));
    const struct {
        int rows;
        QStringList texts;
    } cases[] = {
        {0, {"Preparing header", "0 / 0", "Finalizing"}},
        {100, {"Preparing header", "0 / 100", "0/100", "Finalizing"}},
        {101, {"Preparing header", "0 / 101", "0/101", "100/101", "Finalizing"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        Open(QStringLiteral("select * from ExportCases where Code <= %1 order by Code").arg(c.rows));
        QStringList texts;
        ASSERT_TRUE(Run(opts, c.rows, &texts));
        EXPECT_EQ(texts, c.texts);
    }
    // An unknown kind is refused before anything is shown.
    RExportOptions bad = opts;
    bad.ExportKind = TExportKind(2);
    Open();
    try {
        TExportForm::DoExport(TExportSource{query.get(), nullptr}, bad, 3);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Not implemented Export Kind - Init"));
    }
    // A closed dataset: nothing happens.
    query->Close();
    TExportForm::DoExport(TExportSource{query.get(), nullptr}, opts, 3);
}

// Cancel, a target that cannot be opened and a failure in the middle leave no file behind.
TEST_F(Export, FailuresAndCancelLeaveNoTarget)
{
    auto db2 = TestManager(dbSqlite, kScratchDsn);
    BuildExportTable(*db2, 497);
    for (TExportKind kind : {ekTextFile, ekExcel}) {
        SCOPED_TRACE(int(kind));
        RExportOptions opts = TExportForm::GetDefaultOpts();
        opts.ExportKind = kind;
        opts.FileName = Path(kind == ekTextFile ? QStringLiteral("c.csv") : QStringLiteral("c.xlsx"));
        QFile::remove(opts.FileName);
        Open();
        EXPECT_FALSE(Run(opts, 500, nullptr, 200));
        EXPECT_FALSE(QFile::exists(opts.FileName));

        // The query fails at row 300, after the first block of rows has been read (unsorted,
        // so that the rows come one by one).
        Open(QStringLiteral("select Code, case when Code = 300 then abs(-9223372036854775807 - (Code - 299)) "
                            "else Name end from ExportCases"));
        EXPECT_THROW(Run(opts, 500), Exception);
        EXPECT_FALSE(QFile::exists(opts.FileName));
    }
    // A file the user chose to overwrite stays as it was when the export is cancelled or
    // fails, and nothing else is left in its folder.
    {
        RExportOptions opts = TExportForm::GetDefaultOpts();
        opts.FileName = Path(QStringLiteral("kept.csv"));
        QFile kept(opts.FileName);
        ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
        kept.write("old");
        kept.close();
        Open();
        EXPECT_FALSE(Run(opts, 500, nullptr, 200));
        EXPECT_EQ(ReadAll(opts.FileName), QByteArray("old"));
        Open(QStringLiteral("select Code, case when Code = 300 then abs(-9223372036854775807 - (Code - 299)) "
                            "else Name end from ExportCases"));
        EXPECT_THROW(Run(opts, 500), Exception);
        EXPECT_EQ(ReadAll(opts.FileName), QByteArray("old"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kept.csv")});
        // A successful export replaces it.
        Open();
        EXPECT_TRUE(Run(opts, 3));
        EXPECT_TRUE(ReadAll(opts.FileName).contains(ToWindows1251(u"Хляб „Добруджа“\t")));
        QFile::remove(opts.FileName);
    }
    // A file that cannot be opened: the writer's message; an existing file is untouched.
    RExportOptions opts = TExportForm::GetDefaultOpts();
    opts.FileName = Path(QStringLiteral("missing/dir/x.csv"));
    Open();
    EXPECT_FALSE(Run(opts, 3));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Impossible writing to file \"") + opts.FileName +
                                     QStringLiteral("\".\rCheck if the file is open in another program!(")))
        << errors[0].toStdString();
    EXPECT_TRUE(errors[0].endsWith(QLatin1Char(')')));
}

// Runs DoExport; the dialog's outcome text is read when the run has finished and OK pressed.
QString RunDialog(const TExportSource& source, const RExportOptions& opts, int count, bool cancelAtOnce = false,
                  QImage* shot = nullptr, QString* detail = nullptr)
{
    QString outcome;
    TExportForm::OnShowing = [&](TExportForm& form) {
        if (cancelAtOnce)
            form.btnCancel->click(); // before the run has begun
        auto* poll = new QTimer(&form);
        QObject::connect(poll, &QTimer::timeout, &form, [&form, &outcome, shot, detail] {
            if (!form.btnOk->isVisible())
                return;
            outcome = form.lblInfo->text();
            if (detail)
                *detail = form.lblDetail->isVisible() ? form.lblDetail->text() : QString();
            if (shot)
                *shot = form.grab().toImage();
            form.btnOk->click();
        });
        poll->start(10);
    };
    TExportForm::DoExport(source, opts, count);
    TExportForm::OnShowing = nullptr;
    return outcome;
}

TEST_F(Export, ProgressDialogOutcomes)
{
    RExportOptions opts = TExportForm::GetDefaultOpts();
    opts.FileName = Path(QStringLiteral("d.csv"));
    Open();
    QImage shot;
    QString detail;
    EXPECT_EQ(RunDialog(TExportSource{query.get(), nullptr}, opts, 3, false, &shot, &detail),
              QStringLiteral("Data was exported succesfully!"));
    EXPECT_TRUE(QFile::exists(opts.FileName));
    // "中文" has no bytes in the code page; "€" has.
    EXPECT_EQ(detail, QStringLiteral("2 characters outside Windows-1251 were written as \"?\""));
    if (!qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
        shot.save(qEnvironmentVariable("AUDITOR_SHOTS") + QStringLiteral("/export-dialog.png"));

    // An emoji (a surrogate pair; the SQLite driver cannot take one in a statement's text) is one character; a "?" of the text is none; nothing lost, no line.
    const struct {
        const char* sql;
        const char* detail;
    } lost[] = {
        {"select char(128512) || ' Ωğ ?' as A, 'Ж' as B", "3 characters outside Windows-1251 were written as \"?\""},
        {"select 'Ω' as A", "1 character outside Windows-1251 was written as \"?\""},
        {"select 'Жълт ? €' as A", ""},
    };
    for (const auto& c : lost) {
        Open(QString::fromUtf8(c.sql));
        EXPECT_EQ(RunDialog(TExportSource{query.get(), nullptr}, opts, 1, false, nullptr, &detail),
                  QStringLiteral("Data was exported succesfully!"));
        EXPECT_EQ(detail, QString::fromUtf8(c.detail)) << c.sql;
    }

    // Cancel before the run begins: nothing is exported and no empty file stays open.
    QFile::remove(opts.FileName);
    Open();
    EXPECT_EQ(RunDialog(TExportSource{query.get(), nullptr}, opts, 3, true), QStringLiteral("Data was not exported!"));
    EXPECT_FALSE(QFile::exists(opts.FileName));

    // A failure in the middle.
    auto db2 = TestManager(dbSqlite, kScratchDsn);
    BuildExportTable(*db2, 497);
    Open(QStringLiteral("select Code, case when Code = 300 then abs(-9223372036854775807 - (Code - 299)) end "
                        "from ExportCases")); // unsorted: the rows come one by one
    EXPECT_EQ(RunDialog(TExportSource{query.get(), nullptr}, opts, 500, false, &shot, &detail),
              QStringLiteral("There was problem exporting data!"));
    EXPECT_TRUE(detail.contains(QStringLiteral("integer overflow"))) << detail.toStdString(); // the reason under it
    EXPECT_FALSE(QFile::exists(opts.FileName));
    if (!qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
        shot.save(qEnvironmentVariable("AUDITOR_SHOTS") + QStringLiteral("/export-dialog-failed.png"));

    // The gauge: 0 when the bounds are equal, clamped, repainted only when the percentage changes.
    TGauge gauge;
    gauge.SetMaxValue(0);
    gauge.SetProgress(500);
    EXPECT_EQ(gauge.PercentDone(), 0);
    gauge.SetMaxValue(1250);
    EXPECT_EQ(gauge.PercentDone(), 40);
    gauge.SetProgress(0);
    const int repaints = gauge.RepaintCount();
    gauge.SetProgress(12); // still 0 %
    EXPECT_EQ(gauge.RepaintCount(), repaints);
    gauge.SetProgress(13);
    EXPECT_EQ(gauge.PercentDone(), 1);
    gauge.SetProgress(5000);
    EXPECT_EQ(gauge.PercentDone(), 100);
}

// The save dialog loop: the title is offered, ".csv" added, the overwrite question asked,
// No opens the dialog again, the folder is remembered.
TEST_F(Export, SaveDialogLoop)
{
    QFile existing(Path(QStringLiteral("Продажби Обобщени.csv")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    TExportTextStrategy::LastExportDir = dir.path();
    QStringList offered;
    int questions = 0;
    dialogs.answer = [&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            ++questions;
            box->done(questions == 1 ? QMessageBox::No : QMessageBox::Yes);
            return;
        }
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_TRUE(fd);
        offered << fd->findChild<QLineEdit*>()->text();
        EXPECT_EQ(QDir(fd->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        fd->findChild<QLineEdit*>()->setText(QStringLiteral("Продажби Обобщени")); // as a user types it
        static_cast<QDialog*>(fd)->accept();
    };
    RExportOptions opts = TExportForm::GetDefaultOpts();
    opts.Header = false;
    opts.Title = QStringLiteral("Продажби Обобщени");
    Open();
    EXPECT_EQ(RunDialog(TExportSource{query.get(), nullptr}, opts, 3), QStringLiteral("Data was exported succesfully!"));
    EXPECT_EQ(offered, (QStringList{QStringLiteral("Продажби Обобщени"), QStringLiteral("Продажби Обобщени.csv")}));
    EXPECT_EQ(questions, 2);
    ASSERT_GE(dialogs.seen.size(), 2);
    EXPECT_TRUE(dialogs.seen[1].endsWith(QStringLiteral("Продажби Обобщени.csv\" allready exists. Overwrite?")))
        << dialogs.seen[1].toStdString();
    EXPECT_TRUE(ReadAll(existing.fileName()).startsWith(ToWindows1251(u"Код\t")));
    dialogs.seen.clear();

    // Cancelling the save dialog: no export, no progress dialog.
    dialogs.answer = [](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); };
    Open();
    EXPECT_EQ(RunDialog(TExportSource{query.get(), nullptr}, opts, 3), QString());
    dialogs.seen.clear();

    // A title with characters a file name cannot hold: the name offered has "_" in their
    // place, and taking it as offered writes the file.
    offered.clear();
    dialogs.answer = [&](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_TRUE(fd);
        offered << fd->findChild<QLineEdit*>()->text();
        static_cast<QDialog*>(fd)->accept();
    };
    opts.Title = QStringLiteral("Клиенти / Доставчици");
    Open();
    EXPECT_EQ(RunDialog(TExportSource{query.get(), nullptr}, opts, 3), QStringLiteral("Data was exported succesfully!"));
    EXPECT_EQ(offered, QStringList{QStringLiteral("Клиенти _ Доставчици")});
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("Клиенти _ Доставчици.csv"))));
    dialogs.seen.clear();
}

// The spreadsheet read back with openpyxl: typed cells, number formats, bold names, thin
// grid, merged and centred title rows, and rows beyond one worksheet.
// Files this process holds open that have been deleted: their space is not given back.
QStringList OpenDeletedFiles()
{
    QStringList files;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(fds.filePath(name)).constData(), target, sizeof target - 1);
        const QString path = n > 0 ? QFile::decodeName(QByteArray(target, n)) : QString();
        if (path.endsWith(QLatin1String(" (deleted)")))
            files << path;
    }
    return files;
}

// Files of this process may grow to `bytes` at the most while it lives (a disk that fills
// up); a write beyond fails with EFBIG instead of a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit l = FOld;
        l.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};

// What this process writes to standard error while it lives.
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        FSaved = ::dup(2);
        FFile = ::memfd_create("stderr-capture", MFD_CLOEXEC);
        ::dup2(FFile, 2);
    }
    ~StderrCapture()
    {
        Restore();
        ::close(FFile);
    }
    QByteArray Take()
    {
        Restore();
        QByteArray all;
        char buf[4096];
        for (ssize_t n; (n = ::pread(FFile, buf, sizeof buf, all.size())) > 0;)
            all.append(buf, n);
        return all;
    }

private:
    void Restore()
    {
        if (FSaved < 0)
            return;
        std::fflush(stderr);
        ::dup2(FSaved, 2);
        ::close(FSaved);
        FSaved = -1;
    }
    int FSaved = -1;
    int FFile = -1;
};

// A disk that fills up while the rows are written, or (spreadsheet) while the workbook is
// packed: the export fails with the system's reason, the file the user had is kept, and
// nothing is left behind, neither files nor open temporary files.
TEST_F(Export, FullDiskFailsTheExportAndLeavesNothing)
{
    auto db2 = TestManager(dbSqlite, kScratchDsn);
    BuildExportTable(*db2, 4997); // 5000 rows
    const QStringList openBefore = OpenDeletedFiles();
    auto scratchFolders = [] {
        return QDir::temp().entryList({QStringLiteral("auditor-xlsx-*")}, QDir::Dirs | QDir::Hidden);
    };
    const QStringList foldersBefore = scratchFolders();

    // The size of the worksheet part when nothing stands in the way.
    RExportOptions good = TExportForm::GetDefaultOpts();
    good.ExportKind = ekExcel;
    good.FileName = Path(QStringLiteral("good.xlsx"));
    Open();
    ASSERT_TRUE(Run(good, 5000));
    std::uint64_t sheetBytes = 0;
    for (const TZipEntry& e : ReadZipDirectory(good.FileName))
        if (e.Name == QLatin1String("xl/worksheets/sheet1.xml"))
            sheetBytes = e.Size;
    ASSERT_GT(sheetBytes, 100000u);
    EXPECT_TRUE(FirstIncompleteZipPart(good.FileName).isEmpty());
    QFile::remove(good.FileName);

    const struct {
        const char* name;
        TExportKind kind;
        rlim_t limit;
        QString reason;
    } cases[] = {
        {"text, while the rows are written", ekTextFile, 20000, "File too large"},
        {"spreadsheet, while the rows are written", ekExcel, 20000,
         "File too large (in the temporary folder \"" + QDir::tempPath() + "\")"},
        // The rows fit; the worksheet's copy, a few hundred bytes longer, does not.
        {"spreadsheet, while it is packed", ekExcel, rlim_t(sheetBytes - 100),
         "xl/worksheets/sheet1.xml came out cut short; the disk of \"" + dir.path() +
             "\" or of the temporary folder may be full"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RExportOptions opts = TExportForm::GetDefaultOpts();
        opts.ExportKind = c.kind;
        opts.FileName = Path(c.kind == ekTextFile ? QStringLiteral("kept.csv") : QStringLiteral("kept.xlsx"));
        {
            QFile kept(opts.FileName);
            ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
            kept.write("the export of yesterday");
        }
        Open();
        QString message;
        {
            FileSizeLimit limit(c.limit);
            try {
                Run(opts, 5000);
            } catch (const Exception& e) {
                message = e.Message();
            }
        }
        // A workbook's failure is one line naming the file, with the system's reason.
        if (c.kind == ekExcel)
            EXPECT_EQ(message.toStdString(), QStringLiteral("Cannot write \"%1\": %2").arg(opts.FileName, c.reason).toStdString());
        else
            EXPECT_TRUE(message.contains(c.reason)) << message.toStdString();
        EXPECT_EQ(ReadAll(opts.FileName), QByteArray("the export of yesterday"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(opts.FileName).fileName()});
        EXPECT_EQ(OpenDeletedFiles(), openBefore);
        EXPECT_EQ(scratchFolders(), foldersBefore);
        QFile::remove(opts.FileName);
    }
}

// What the progress dialog says of a workbook that cannot be written is one line naming the
// file with the system's reason; the library's own messages, which name its temporary
// file, stay off standard error.
TEST_F(Export, SpreadsheetFailureIsOneLineNamingTheFile)
{
    auto db2 = TestManager(dbSqlite, kScratchDsn);
    BuildExportTable(*db2, 1997); // 2000 rows
    const struct {
        const char* name;
        QString file;
        rlim_t limit;
        QString reason;
    } cases[] = {
        // The library meets it when it packs the workbook, and prints it.
        {"the folder removed meanwhile", Path(QStringLiteral("gone/detail.xlsx")), RLIM_INFINITY,
         QStringLiteral("No such file or directory")},
        {"a full disk", Path(QStringLiteral("detail.xlsx")), 20000,
         QStringLiteral("File too large (in the temporary folder \"%1\")").arg(QDir::tempPath())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RExportOptions opts = TExportForm::GetDefaultOpts();
        opts.ExportKind = ekExcel;
        opts.FileName = c.file;
        Open();
        QString outcome, detail;
        QByteArray printed;
        {
            FileSizeLimit limit(c.limit);
            StderrCapture capture;
            outcome = RunDialog(TExportSource{query.get(), nullptr}, opts, 2000, false, nullptr, &detail);
            printed = capture.Take();
        }
        EXPECT_EQ(outcome, QStringLiteral("There was problem exporting data!"));
        EXPECT_EQ(detail.toStdString(), QStringLiteral("Cannot write \"%1\": %2").arg(c.file, c.reason).toStdString());
        // (The offscreen platform says a word of its own when the dialog shows.)
        EXPECT_FALSE(printed.contains("[ERROR]") || printed.contains(".part")) << printed.toStdString();
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
    }
}

// A report window's export requests end to end: the whole result of the latest run, from
// the first row, whatever page is on screen; the spreadsheet opened for the user.
TEST_F(Export, ReportWindowExportsTheWholeResult)
{
    for (const QString& s : {QStringLiteral("drop table if exists StoreFilterAudit"),
                             QStringLiteral("drop table if exists FiscalDeviceFilterAudit"),
                             QStringLiteral("drop table if exists UserFilterAudit"),
                             QStringLiteral("drop view if exists PayTypesAudit"),
                             QStringLiteral("drop view if exists PartnersAudit"),
                             QStringLiteral("drop table if exists ItemsAudit"),
                             QStringLiteral("create table StoreFilterAudit (StoreN integer, StoreName varchar(60))"),
                             QStringLiteral("create table FiscalDeviceFilterAudit (FiscalDeviceN integer, "
                                            "FiscalDeviceName varchar(60))"),
                             QStringLiteral("create table UserFilterAudit (UserKod integer, UserName varchar(60))"),
                             QStringLiteral("create table ItemsAudit (ItemCode integer, ItemName varchar(60), "
                                            "ItemCreateDate date, ItemLastChangeDate date, ItemDeactivatedDate date)"),
                             QStringLiteral("insert into ItemsAudit select Code, Name, Day, Day, null from ExportCases")})
        db->FastSql(s);
    db->FastSql(QStringLiteral("insert into ItemsAudit with recursive c(x) as (select 4 union all select x + 1 from c "
                               "where x < 1200) select x, 'Стока ' || x, '2026-01-05', null, null from c"));
    TSqlDBModel model = TestModel(dbSqlite, kScratchDsn);
    TRepository repository(dbSqlite);
    TItemsForm form(nullptr, &model, &repository);
    form.setAttribute(Qt::WA_DeleteOnClose, false);
    form.show();
    form.ReportButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return form.LoadingState() == TLoadingState::lsLoaded; }));
    form.NextPageButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return form.LoadingState() == TLoadingState::lsLoaded && !form.PageLoading(); }));
    EXPECT_EQ(form.CurrentPageButton->text(), QStringLiteral("2"));

    const QString csv = Path(QStringLiteral("всички стоки.csv")); // typed without its extension
    TExportTextStrategy::LastExportDir = dir.path();
    dialogs.answer = [&](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_TRUE(fd);
        EXPECT_EQ(fd->findChild<QLineEdit*>()->text(), QStringLiteral("Стоки"));
        fd->findChild<QLineEdit*>()->setText(QStringLiteral("всички стоки"));
        static_cast<QDialog*>(fd)->accept();
    };
    QString outcome;
    TExportForm::OnShowing = [&](TExportForm& f) {
        auto* poll = new QTimer(&f);
        QObject::connect(poll, &QTimer::timeout, &f, [&f, &outcome] {
            if (f.btnOk->isVisible()) {
                outcome = f.lblInfo->text();
                f.btnOk->click();
            }
        });
        poll->start(10);
    };
    QEvent request(WM_EXPORT_CSV);
    QCoreApplication::sendEvent(&form, &request);
    EXPECT_EQ(outcome, QStringLiteral("Data was exported succesfully!"));
    const QStringList lines = FromWindows1251(ReadAll(csv)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 1 + 1200 + 1);
    EXPECT_EQ(lines[0], QStringLiteral("Код на стоката\tНаименование\tДата на добавяне на стоката\t"
                                       "Дата на последна промяна\tДата на деактивиране"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("1\tХляб „Добруджа“\t")));
    EXPECT_EQ(lines[1200], QStringLiteral("1200\tСтока 1200\t05.01.2026\t\t"));
    EXPECT_EQ(form.CurrentFilters().RecordsPerPage, 500);
    dialogs.seen.clear();

    QString opened;
    bool opens = true;
    const auto desktopOpener = TExportExcelStrategy::OpenWorkbook;
    TExportExcelStrategy::OpenWorkbook = [&](const QString& path) {
        opened = path;
        return opens;
    };
    QEvent excel(WM_EXPORT_EXCEL);
    QCoreApplication::sendEvent(&form, &excel);
    EXPECT_EQ(outcome, QStringLiteral("Data was exported succesfully!"));
    ASSERT_FALSE(opened.isEmpty());
    // In the user's own folder, for the user alone.
    const QString folder = TExportExcelStrategy::PrivateWorkbookFolder();
    EXPECT_EQ(QFileInfo(opened).absolutePath(), folder);
    const auto mode = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    EXPECT_EQ(mode(folder), 0700);
    EXPECT_EQ(mode(opened), 0600);
    EXPECT_FALSE(folder.startsWith(QDir::tempPath()));
    EXPECT_TRUE(opened.endsWith(QStringLiteral(".xlsx")));
    EXPECT_TRUE(QFileInfo(opened).fileName().startsWith(QStringLiteral("Стоки")));
    EXPECT_TRUE(dialogs.seen.isEmpty()) << dialogs.seen.join(QLatin1String(" | ")).toStdString(); // opened: nothing said
    const QJsonArray sheets = ReadWorkbook(opened);
    QFile::remove(opened);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0][QStringLiteral("rows")].toArray().size(), 1201);

    // The desktop cannot open it: the user is asked where to save it, with its name proposed,
    // and the workbook goes there.
    opens = false;
    opened.clear();
    QTemporaryDir saveDir;
    const QString saved = saveDir.filePath(QStringLiteral("одит.xlsx"));
    QString proposed;
    dialogs.answer = [&](QWidget* w) {
        if (auto* save = qobject_cast<QFileDialog*>(w)) {
            proposed = save->findChild<QLineEdit*>()->text();
            save->setDirectory(saveDir.path());
            save->findChild<QLineEdit*>()->setText(QStringLiteral("одит")); // as a user types it
        }
        qobject_cast<QDialog*>(w)->accept();
    };
    QCoreApplication::sendEvent(&form, &excel);
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_EQ(proposed, QFileInfo(opened).fileName());
    EXPECT_EQ(dialogs.seen, QStringList{QStringLiteral("QFileDialog")});
    EXPECT_FALSE(QFile::exists(opened));
    EXPECT_EQ(ReadWorkbook(saved)[0][QStringLiteral("rows")].toArray().size(), 1201);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(mode(saved), int(0666 & ~mask));
    dialogs.seen.clear();

    // Given up: a message box says where the workbook stays.
    opened.clear();
    dialogs.answer = [](QWidget* w) {
        if (qobject_cast<QFileDialog*>(w))
            qobject_cast<QDialog*>(w)->reject();
        else
            qobject_cast<QDialog*>(w)->accept();
    };
    QCoreApplication::sendEvent(&form, &excel);
    TExportExcelStrategy::OpenWorkbook = desktopOpener;
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_TRUE(QFile::exists(opened));
    ASSERT_EQ(dialogs.seen.size(), 2);
    EXPECT_EQ(dialogs.seen[0], QStringLiteral("QFileDialog"));
    EXPECT_TRUE(dialogs.seen[1].contains(QDir::toNativeSeparators(opened))) << dialogs.seen[1].toStdString();
    dialogs.seen.clear();
    QFile::remove(opened);
}

// The desktop's program for workbooks: where none is named (an empty data folder for the
// desktop's settings), nothing is started and the caller offers to save instead.
TEST(WorkbookOpener, NoProgramForWorkbooksStartsNothing)
{
    QTemporaryDir home;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME"), oldDirs = qgetenv("XDG_DATA_DIRS"),
                     oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_DATA_DIRS", home.filePath(QStringLiteral("none")).toUtf8());
    bool failed = false;
    EXPECT_FALSE(HasWorkbookHandler());
    EXPECT_FALSE(OpenWorkbookWithDesktop(home.filePath(QStringLiteral("a.xlsx")), [&] { failed = true; }));
    for (const auto& [name, value] : {std::pair{"XDG_CONFIG_HOME", oldConfig}, std::pair{"XDG_DATA_HOME", oldData},
                                      std::pair{"XDG_DATA_DIRS", oldDirs}})
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    Pump(100);
    EXPECT_FALSE(failed);
}

} // namespace
