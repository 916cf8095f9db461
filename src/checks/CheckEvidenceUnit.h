#pragma once
// TCheckEvidencePanel: the rows behind one finding of a check, in the check window under its
// grid: a tab for each audited view the finding is found in (a sale's summary, lines,
// payments, reversal, revocation and log entries; an item and its sold lines; a partner; an
// operator and his log entries), with the reports' own columns and captions. The rows are
// read in the background on a connection of the panel's own, made when first needed.

#include "CheckCatalogueUnit.h"
#include "db/SqlDbModelUnit.h"

#include <QVariant>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QShortcut;
class QStackedWidget;
class QTabWidget;
class QTableView;
class TDataSource;
class TLoadingAnimation;
class TQuery;
class TRepository;
class TSqlDataManager;

class TCheckEvidencePanel : public QWidget {
public:
    // At most this many rows of each view are read (their number is always said).
    static constexpr int kRowLimit = 1000;

    TCheckEvidencePanel(const TSqlDBModel* dbModel, const TRepository& repository, QWidget* parent);
    ~TCheckEvidencePanel() override;

    // Reads the rows of the views behind `kind` whose key is one of `keys` (bound to the
    // statements, never part of their text); `shown` are the keys as the caption names them.
    // A load under way is given up first.
    void Load(TEvidenceKind kind, const std::vector<QVariant>& keys, const QStringList& shown);
    // Gives up the load under way (the Cancel button, Esc): the tabs not read say so.
    void CancelLoad();
    bool Loading() const;
    // For the window closing: gives the load up, waiting at most `patience` for its
    // statement; one its server does not let go of is left to end with its connection on
    // their own, and freed then.
    void Abandon(std::chrono::milliseconds patience);

    // The tab of each view: its report, its rows (once read) and its grid.
    struct TTab {
        TReportKind Kind;
        QString KeyColumn;
        QWidget* Page = nullptr;
        QTableView* Grid = nullptr;
        QLabel* Empty = nullptr;
        TDataSource* Source = nullptr;
        bool Done = false;
        int Count = -1; // the view's number of rows behind the finding, once read
    };
    const std::vector<TTab>& Tabs() const { return FTabs; }
    // Closing the panel (its close button).
    std::function<void()> OnClose;

    QLabel* CaptionLabel = nullptr;
    QPushButton* CloseButton = nullptr;
    QStackedWidget* Stack = nullptr;
    QTabWidget* TabWidget = nullptr;
    QLabel* MessageLabel = nullptr;
    TLoadingAnimation* LoadingImage = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    struct TSession;
    void Connected(const QString& failure);
    void RunNext();
    void TabArrived();
    void TabFailed(const QString& message);
    void Finish();
    void ShowMessage(const QString& text);
    void SetTabCaption(int index);
    void DropQueries(std::chrono::milliseconds patience);

    const TSqlDBModel* FDbModel;
    const TRepository& FRepository;
    std::shared_ptr<TSession> FSession; // the connection, made on a worker the first time
    std::vector<std::unique_ptr<TQuery>> FQueries; // one per tab, on the session's connection
    std::vector<TTab> FTabs;
    std::vector<QVariant> FKeys;
    int FRunning = -1;        // the tab whose statement runs
    bool FConnecting = false; // a worker is making the connection
    bool FWaiting = false;    // a load waits for the connection or its first statement
    QShortcut* FEsc = nullptr;
    int FGeneration = 0;      // a load given up ignores what its connection brings later
};
