// TAbsReportBaseForm's export of the whole filtered result: the statement run on the worker
// while the user picks the file, and the hand-over to the export dialog (or a test's handler).
#include "AbsReportBaseUnit.h"

#include "ReportTotalsUnit.h"
#include "RunWordsUnit.h"
#include "db/Exception.h"
#include "export/OutputTargetUnit.h"

#include <QEventLoop>

namespace {

TAbsReportBaseForm::TExportHandler& ExportHandler()
{
    static TAbsReportBaseForm::TExportHandler handler;
    return handler;
}

} // namespace

void TAbsReportBaseForm::SetExportHandler(TExportHandler handler) { ExportHandler() = std::move(handler); }

void TAbsReportBaseForm::ExportReport(TExportKind kind)
{
    // One statement at a time on the window's connection: while a page loads, or an earlier
    // export's statement is still with a server that did not take its cancel, the request
    // is refused without a word (the ribbon stays usable).
    if (FPageLoading || ExportQuery.Executing())
        return;
    // Sums under way make room for the export, in the same read transaction, and go on
    // after it.
    if (FTotals && !FTotals->Interrupt(kClosePatience))
        return;
    struct TResumeTotals {
        TAbsReportBaseForm* Form;
        ~TResumeTotals()
        {
            if (Form->FTotals && !Form->ExportQuery.Executing())
                Form->FTotals->PageArrived();
        }
    } resume{this};
    const int keepRecordsPerPage = FCurrentFilters.RecordsPerPage;
    struct TRestore {
        TAbsReportBaseForm* Form;
        int RecordsPerPage;
        ~TRestore()
        {
            Form->FCurrentFilters.RecordsPerPage = RecordsPerPage;
            // A statement that its server does not let go of stays with the worker; the
            // window waits for it before it is freed.
            Form->ExportQuery.TryClose(kClosePatience);
        }
    } restore{this, keepRecordsPerPage};
    FCurrentFilters.RecordsPerPage = 0;
    QString reportSql, recCountSql;
    FillReportQuery(reportSql, recCountSql);
    ExportQuery.Close();
    ExportQuery.SetSQL(QString());
    ExportQuery.SetSQL(reportSql);
    // The statement runs on the worker while the user picks the file and the progress
    // dialog waits for it: the window never waits for the server.
    FReconnected = false;
    const auto reopen = [this, reportSql](const QString& sqlState) {
        if (!ReconnectOnce(sqlState))
            return false;
        ExportQuery.SetSQL(reportSql);
        ExportQuery.OpenAsync();
        return true;
    };
    ExportQuery.AfterOpen = nullptr;
    ExportQuery.OnOpenError = nullptr;
    ExportQuery.OpenAsync();
    RExportOptions opts = TExportForm::GetReportOpts(kind, windowTitle());
    if (FDbModel)
        opts.DataSourceFiles = DataSourceFiles(*FDbModel);
    opts.Subject = RunSubject(FDbModel ? FDbModel->DSN : QString(), FilterWords());
    const QStringList conditions = ExportConditions();
    if (!conditions.isEmpty()) {
        opts.Conditions = &conditions;
        opts.Header = true; // the title and the conditions head the export
    }
    if (ExportHandler()) {
        WaitForExportQuery(reopen);
        ExportHandler()(ExportQuery, opts, FCurrentRecCount);
        return;
    }
    TExportForm::DoExport(TExportSource{&ExportQuery, nullptr}, opts, FCurrentRecCount, reopen);
}

void TAbsReportBaseForm::WaitForExportQuery(const std::function<bool(const QString&)>& reopen)
{
    QEventLoop loop;
    QString failure;
    ExportQuery.AfterOpen = [&loop] { loop.quit(); };
    ExportQuery.OnOpenError = [&](const QString& message) {
        if (!reopen(ExportQuery.LastErrorState())) {
            failure = message;
            loop.quit();
        }
    };
    if (ExportQuery.Executing())
        loop.exec();
    ExportQuery.AfterOpen = nullptr;
    ExportQuery.OnOpenError = nullptr;
    if (!failure.isEmpty())
        throw Exception(failure);
}
