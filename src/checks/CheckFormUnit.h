#pragma once
// TCheckForm: the window of one audit check, a report window whose rows are the check's
// findings: its filters and parameters, the findings paged, sorted, searched, summed and
// exported as a report's rows, and the rows behind the finding chosen.

#include "CheckCatalogueUnit.h"
#include "CheckParamsUnit.h"
#include "reports/AbsReportBaseUnit.h"

#include <optional>

class QAction;
class QSplitter;
class TCheckEvidencePanel;
class TCheckParamsPanel;

class TCheckForm : public TAbsReportBaseForm {
public:
    // The window of `def` (kept by pointer: a catalogue entry) with the filters and parameters
    // of its last run on the data source.
    TCheckForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository, const TCheckDef& def);
    // The same, with `filters` (period, store, device, operator) in place of the remembered.
    TCheckForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository, const TCheckDef& def,
               const TReportFilters& filters);
    ~TCheckForm() override;

    const TCheckDef& Def() const { return FDef; }
    // The parameters of the latest run (before one: those the window opened with).
    const TCheckParams& Params() const { return FParams; }
    TCheckParamsPanel* ParamsPanel() const { return FParamsPanel; }
    TCheckEvidencePanel* Evidence() const { return FEvidence; }
    // Puts the period, store, device and operator of `filters` into the filter fields (those
    // the check offers; a number not in its list leaves "every one").
    void SetFilterFields(const TReportFilters& filters);
    // Opens the rows behind the selected finding under the grid; false when no finding is
    // selected.
    bool ShowEvidence();

    // The parameters `which` as the memory of runs keeps them, and back (a value that is no
    // such value gives the default).
    static QJsonObject ParamsJson(const TCheckParams& params, TCheckParamSet which);
    static TCheckParams ParamsFromJson(const QJsonObject& extra);

    TReportUIFilters GetReportUIFilters() const override;
    void FillReportQuery(QString& reportSql, QString& recCountSql) override;

    QPushButton* EvidenceButton = nullptr;
    QAction* EvidenceAction = nullptr;

protected:
    const TReportDef& GridDef() const override;
    QString TotalsSql(const TReportFilters& filters) const override;
    QStringList FilterWords() const override;
    QStringList ExportConditions() const override;
    QJsonObject RunExtra() const override;
    void RecallRunExtra(const QJsonObject& extra) override;
    bool CommitRunExtra() override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildParamsPanel();
    void BuildEvidence();
    void LoadActivityNames();

    const TCheckDef& FDef;
    TCheckParams FParams;
    TCheckParamsPanel* FParamsPanel = nullptr;
    TCheckEvidencePanel* FEvidence = nullptr;
    QSplitter* FSplitter = nullptr;
};
