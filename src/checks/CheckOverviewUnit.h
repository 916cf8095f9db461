#pragma once
// TCheckOverviewForm: every audit check run once for the same period, store, fiscal device and
// operator, one after another in the background in one read transaction, with the number
// of findings of each and the amount they involve; a line opens its check's window.

#include "CheckCatalogueUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/RepositoryUnit.h"

#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QShortcut;
class QStandardItemModel;
class QTableView;
class QTimer;
class TDateField;
class TSqlDataManager;

class TCheckOverviewForm : public QWidget {
public:
    // Columns of the table.
    enum { colGroup, colTitle, colPurpose, colCount, colAmount, colNote, colCount_ };

    // Connects (a connection of its own) and fills the filter lookups; a failure raises out of
    // the constructor.
    TCheckOverviewForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    ~TCheckOverviewForm() override;

    // Runs every check (ignored while a run is under way).
    void Run();
    // Gives the run up: the running statement is cancelled, the checks not run say so.
    void CancelRun();
    bool Running() const { return FCurrent >= 0; }
    // The filters of the latest run (before one: those of the fields).
    TReportFilters RunFilters() const;
    // Opens the check of line `row` with the run's filters (OnOpenCheck).
    void OpenLine(int row);
    std::function<void(const TCheckDef& def, const TReportFilters& filters)> OnOpenCheck;

    // One line's outcome.
    struct TLine {
        const TCheckDef* Def = nullptr;
        enum class TState { NotRun, Running, Done, Failed, Cancelled } State = TState::NotRun;
        qint64 Count = 0;
        QString Amount; // as the grid writes amounts; empty for none
        QString Note;
    };
    const std::vector<TLine>& Lines() const { return FLines; }

    TDateField* FromDateField = nullptr;
    TDateField* ToDateField = nullptr;
    QComboBox* StoreLookup = nullptr;
    QComboBox* DeviceLookup = nullptr;
    QComboBox* UserLookup = nullptr;
    QPushButton* RunButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QLabel* ProgressLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QTableView* Table = nullptr;
    QStandardItemModel* Model = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildWidgets();
    void FillLookups();
    TReportFilters FieldFilters() const;
    void StartCheck(int index);
    void CheckArrived();
    void CheckFailed(const QString& message);
    void Next();
    void EndRun(const QString& progress);
    void ShowLine(int index);
    void SetIdle(bool idle);
    void FitColumns();

    const TSqlDBModel* FDbModel;
    TRepository* FRepository;
    std::unique_ptr<TSqlDataManager> FSqlManager;
    std::vector<TLine> FLines;
    TReportFilters FRunFilters;
    bool FHasRun = false;
    int FCurrent = -1;
    bool FTransaction = false;
    QShortcut* FEsc = nullptr;
    // Polls a given-up statement its server has not let go of yet: no new run until it has.
    QTimer* FAbandonedWatch = nullptr;
    // Bound to FSqlManager's connection; declared after it, so freed before it.
    TQuery FQuery{nullptr, ckStatic};
};
