// The rows behind a finding (see CheckEvidenceUnit.h).
#include "CheckEvidenceUnit.h"

#include "db/DataSourceUnit.h"
#include "db/Exception.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "reports/LoadingAnimationUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

namespace {

struct TSource {
    TReportKind Kind;
    const char16_t* KeyColumn;
};

// The views behind a finding of each kind, and the column its key is found in.
std::vector<TSource> SourcesOf(TEvidenceKind kind)
{
    switch (kind) {
    case TEvidenceKind::Sales:
        return {{rkSalesSummary, u"UNP"},  {rkSalesDetail, u"UNP"},  {rkPayments, u"UNP"},
                {rkReversedSales, u"UNP"}, {rkRevokedSales, u"UNP"}, {rkUsersLog, u"UNP"}};
    case TEvidenceKind::Item: return {{rkItems, u"ItemCode"}, {rkSalesDetail, u"ItemCode"}};
    case TEvidenceKind::Partner: return {{rkPartners, u"Bulstat"}};
    case TEvidenceKind::Operator: return {{rkUsers, u"UserID"}, {rkUsersLog, u"UserID"}};
    }
    return {};
}

QString KeyName(TEvidenceKind kind, int count)
{
    switch (kind) {
    case TEvidenceKind::Sales: return count == 1 ? QStringLiteral("УНП") : QStringLiteral("УНП-та");
    case TEvidenceKind::Item: return QStringLiteral("Стока");
    case TEvidenceKind::Partner: return QStringLiteral("Клиент / доставчик");
    case TEvidenceKind::Operator: return QStringLiteral("Оператор");
    }
    return {};
}

// A query given up that its server has not let go of: kept, with the connection it runs on,
// until its worker ends, then freed.
class TQueryReaper : public QObject {
public:
    TQueryReaper(std::vector<std::unique_ptr<TQuery>> queries, std::shared_ptr<void> session)
        : FQueries(std::move(queries)), FSession(std::move(session))
    {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] {
            for (const auto& q : FQueries)
                if (q && q->Executing())
                    return;
            deleteLater();
        });
        timer->start(250);
    }
    ~TQueryReaper() override { FQueries.clear(); } // before the connection they ran on

private:
    std::vector<std::unique_ptr<TQuery>> FQueries;
    std::shared_ptr<void> FSession;
};

} // namespace

struct TCheckEvidencePanel::TSession {
    std::unique_ptr<TSqlDataManager> Manager;
    bool Connected = false;
};

TCheckEvidencePanel::TCheckEvidencePanel(const TSqlDBModel* dbModel, const TRepository& repository, QWidget* parent)
    : QWidget(parent), FDbModel(dbModel), FRepository(repository)
{
    setObjectName(QStringLiteral("EvidencePanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(2);
    auto* head = new QHBoxLayout;
    head->setContentsMargins(6, 0, 4, 0);
    CaptionLabel = new QLabel(this);
    CaptionLabel->setObjectName(QStringLiteral("EvidenceCaption"));
    CaptionLabel->setTextFormat(Qt::PlainText);
    QFont bold = CaptionLabel->font();
    bold.setBold(true);
    CaptionLabel->setFont(bold);
    CloseButton = new QPushButton(QStringLiteral("Затвори"), this);
    CloseButton->setObjectName(QStringLiteral("EvidenceCloseButton"));
    CloseButton->setToolTip(QStringLiteral("Затваря записите зад находката"));
    head->addWidget(CaptionLabel, 1);
    head->addWidget(CloseButton);
    layout->addLayout(head);

    Stack = new QStackedWidget(this);
    TabWidget = new QTabWidget(Stack);
    TabWidget->setObjectName(QStringLiteral("EvidenceTabs"));
    TabWidget->setDocumentMode(true);
    MessageLabel = new QLabel(Stack);
    MessageLabel->setObjectName(QStringLiteral("EvidenceMessage"));
    MessageLabel->setTextFormat(Qt::PlainText);
    MessageLabel->setAlignment(Qt::AlignCenter);
    MessageLabel->setWordWrap(true);
    auto* loadingPage = new QWidget(Stack);
    auto* loadingLayout = new QVBoxLayout(loadingPage);
    loadingLayout->setContentsMargins(0, 0, 0, 0);
    LoadingImage = new TLoadingAnimation(loadingPage);
    LoadingImage->setObjectName(QStringLiteral("EvidenceLoading"));
    loadingLayout->addWidget(LoadingImage);
    CancelButton = new QPushButton(QStringLiteral("Отказ"), LoadingImage);
    CancelButton->setObjectName(QStringLiteral("EvidenceCancelButton"));
    CancelButton->setToolTip(QStringLiteral("Прекратява зареждането на записите (Esc)"));
    CancelButton->setFocusPolicy(Qt::NoFocus);
    LoadingImage->PlaceBelow(CancelButton);
    Stack->addWidget(TabWidget);
    Stack->addWidget(MessageLabel);
    Stack->addWidget(loadingPage);
    layout->addWidget(Stack, 1);

    QObject::connect(CloseButton, &QPushButton::clicked, this, [this] {
        CancelLoad();
        if (OnClose)
            OnClose();
    });
    QObject::connect(CancelButton, &QPushButton::clicked, this, [this] { CancelLoad(); });
    FEsc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    FEsc->setContext(Qt::WindowShortcut); // wherever the focus is in the check window
    FEsc->setEnabled(false);
    QObject::connect(FEsc, &QShortcut::activated, this, [this] { CancelLoad(); });
}

TCheckEvidencePanel::~TCheckEvidencePanel() { Abandon(std::chrono::milliseconds(500)); }

bool TCheckEvidencePanel::Loading() const { return FWaiting || FRunning >= 0; }

void TCheckEvidencePanel::ShowMessage(const QString& text)
{
    MessageLabel->setText(text);
    Stack->setCurrentWidget(MessageLabel);
}

void TCheckEvidencePanel::Load(TEvidenceKind kind, const std::vector<QVariant>& keys, const QStringList& shown)
{
    CancelLoad();
    DropQueries(std::chrono::milliseconds(500));
    ++FGeneration;
    TabWidget->clear();
    for (TTab& tab : FTabs)
        delete tab.Page;
    FTabs.clear();
    FKeys = keys;
    CaptionLabel->setText(QStringLiteral("Записи зад находката · %1: %2").arg(KeyName(kind, int(shown.size())),
                                                                               shown.join(QStringLiteral(", "))));
    if (keys.empty()) {
        CaptionLabel->setText(QStringLiteral("Записи зад находката"));
        ShowMessage(QStringLiteral("Находката няма стойност (%1), по която да се намерят записите.")
                        .arg(KeyName(kind, 1)));
        return;
    }
    Stack->setCurrentIndex(2); // the loading picture over the tabs until they are read
    for (const TSource& source : SourcesOf(kind)) {
        TTab tab{source.Kind, QString::fromUtf16(source.KeyColumn)};
        tab.Page = new QWidget(TabWidget);
        auto* pageLayout = new QVBoxLayout(tab.Page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        tab.Empty = new QLabel(tab.Page);
        tab.Empty->setTextFormat(Qt::PlainText);
        tab.Empty->setAlignment(Qt::AlignCenter);
        tab.Empty->hide();
        tab.Source = new TDataSource(tab.Page);
        tab.Grid = new QTableView(tab.Page);
        tab.Grid->setObjectName(QStringLiteral("EvidenceGrid"));
        tab.Grid->setModel(tab.Source);
        tab.Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tab.Grid->setAlternatingRowColors(true);
        tab.Grid->setWordWrap(false);
        tab.Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        tab.Grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        pageLayout->addWidget(tab.Empty, 1);
        pageLayout->addWidget(tab.Grid, 1);
        FTabs.push_back(tab);
        TabWidget->addTab(tab.Page, QString());
        SetTabCaption(int(FTabs.size()) - 1);
    }
    Stack->setCurrentIndex(2);
    LoadingImage->Start();
    FWaiting = true;
    FEsc->setEnabled(true);
    if (!FSession) {
        // The connection is made on a worker: the window does not wait for the server.
        FSession = std::make_shared<TSession>();
        FSession->Manager = TSqlDataModule::CreateManager(FDbModel);
    }
    if (FSession->Connected) {
        RunNext();
        return;
    }
    if (FConnecting)
        return; // the connection on its way runs the load when it comes
    FConnecting = true;
    std::shared_ptr<TSession> session = FSession;
    QPointer<TCheckEvidencePanel> self(this);
    std::thread([session, self]() mutable {
        QString failure;
        try {
            session->Manager->OpenConnection();
        } catch (const Exception& e) {
            failure = e.Message();
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
        // The session goes back to the window's thread, and is freed there should the panel
        // be gone.
        QMetaObject::invokeMethod(
            qApp,
            [session, self, failure] {
                if (!self)
                    return;
                if (failure.isEmpty())
                    session->Connected = true;
                self->Connected(failure);
            },
            Qt::QueuedConnection);
        session.reset();
    }).detach();
}

void TCheckEvidencePanel::Connected(const QString& failure)
{
    FConnecting = false;
    if (!failure.isEmpty()) {
        FSession.reset();
        if (!FWaiting)
            return;
        FWaiting = false;
        FEsc->setEnabled(false);
        LoadingImage->Stop();
        ShowMessage(QStringLiteral("Записите не могат да бъдат прочетени: %1").arg(failure));
        return;
    }
    if (FWaiting) // not given up meanwhile
        RunNext();
}

void TCheckEvidencePanel::RunNext()
{
    int next = -1;
    for (int i = 0; i < int(FTabs.size()); ++i)
        if (!FTabs[i].Done) {
            next = i;
            break;
        }
    if (next < 0) {
        Finish();
        return;
    }
    FWaiting = false;
    const TTab& tab = FTabs[next];
    const TReportDef& def = ReportDef(tab.Kind);
    QStringList marks;
    for (size_t i = 0; i < FKeys.size(); ++i)
        marks << QStringLiteral("?");
    const QString where = QStringLiteral("WHERE %1 IN (%2)").arg(tab.KeyColumn, marks.join(QStringLiteral(", ")));
    TReportFilters page;
    page.RecordsPerPage = kRowLimit;
    QString rowsSql, countSql;
    FRepository.FillQueryFrom(def, QString::fromUtf16(def.View), where, rowsSql, countSql, page);
    // The count first, then the rows, one statement after another on the one connection.
    const bool counted = tab.Count >= 0;
    auto query = std::make_unique<TQuery>(&FSession->Manager->Connection(), ckStatic);
    query->SetSQL(counted ? rowsSql : countSql);
    query->Params = FKeys;
    query->SetRunMode(FSession->Manager->QuickSelectSwitch());
    TQuery* q = query.get();
    const int generation = FGeneration;
    q->AfterOpen = [this, q, next, counted, generation] {
        if (generation != FGeneration || FRunning != next)
            return;
        try {
            if (counted) {
                TSqlDataManager::FetchAllQuery(*q);
                FTabs[next].Source->SetDataSet(q);
                FTabs[next].Done = true;
            } else {
                FTabs[next].Count = q->IsEmpty() ? 0 : int(q->Fields(0).AsLargeInt());
                if (FTabs[next].Count == 0)
                    FTabs[next].Done = true;
            }
        } catch (const Exception& e) {
            TabFailed(e.Message());
            return;
        }
        TabArrived();
    };
    q->OnOpenError = [this, next, generation](const QString& message) {
        if (generation != FGeneration || FRunning != next)
            return;
        TabFailed(message);
    };
    FQueries.push_back(std::move(query));
    FRunning = next;
    q->OpenAsync();
}

void TCheckEvidencePanel::TabArrived()
{
    const int index = FRunning;
    FRunning = -1;
    SetTabCaption(index);
    TTab& tab = FTabs[index];
    if (tab.Done) {
        const bool empty = tab.Count == 0;
        tab.Empty->setText(QStringLiteral("Няма записи в „%1“ за тази находка.").arg(ReportTitle(tab.Kind)));
        tab.Empty->setVisible(empty);
        tab.Grid->setVisible(!empty);
        if (!empty)
            tab.Grid->resizeColumnsToContents();
    }
    RunNext();
}

void TCheckEvidencePanel::TabFailed(const QString& message)
{
    const int index = FRunning;
    FRunning = -1;
    TTab& tab = FTabs[index];
    tab.Done = true;
    tab.Count = -2;
    tab.Empty->setText(QStringLiteral("Записите не могат да бъдат прочетени: %1").arg(message));
    tab.Empty->show();
    tab.Grid->hide();
    SetTabCaption(index);
    RunNext();
}

void TCheckEvidencePanel::Finish()
{
    FWaiting = false;
    FEsc->setEnabled(false);
    LoadingImage->Stop();
    Stack->setCurrentWidget(TabWidget);
    // The first view that holds rows comes first.
    for (int i = 0; i < int(FTabs.size()); ++i)
        if (FTabs[i].Count > 0) {
            TabWidget->setCurrentIndex(i);
            break;
        }
}

void TCheckEvidencePanel::SetTabCaption(int index)
{
    const TTab& tab = FTabs[index];
    const QLocale bg(QLocale::Bulgarian);
    QString count;
    if (tab.Count == -2)
        count = QStringLiteral("грешка");
    else if (tab.Count < 0)
        count = QStringLiteral("…");
    else if (tab.Count == 0)
        count = QStringLiteral("няма");
    else if (tab.Count > kRowLimit)
        count = QStringLiteral("първите %1 от %2").arg(bg.toString(kRowLimit), bg.toString(tab.Count));
    else
        count = bg.toString(tab.Count);
    TabWidget->setTabText(index, QStringLiteral("%1 (%2)").arg(ReportTitle(tab.Kind), count));
}

void TCheckEvidencePanel::CancelLoad()
{
    ++FGeneration;
    const bool was = Loading();
    FWaiting = false; // a connection still on its way runs nothing
    FEsc->setEnabled(false);
    if (FRunning >= 0 && !FQueries.empty())
        FQueries.back()->TryClose(std::chrono::milliseconds(500));
    FRunning = -1;
    if (!was)
        return;
    LoadingImage->Stop();
    Stack->setCurrentWidget(TabWidget);
    for (int i = 0; i < int(FTabs.size()); ++i)
        if (!FTabs[i].Done) {
            FTabs[i].Empty->setText(QStringLiteral("Зареждането е прекратено."));
            FTabs[i].Empty->show();
            FTabs[i].Grid->hide();
            TabWidget->setTabText(i, QStringLiteral("%1 (не е заредено)").arg(ReportTitle(FTabs[i].Kind)));
        }
}

void TCheckEvidencePanel::DropQueries(std::chrono::milliseconds patience)
{
    for (TTab& tab : FTabs)
        if (tab.Source)
            tab.Source->SetDataSet(nullptr);
    bool stuck = false;
    for (const auto& q : FQueries)
        if (!q->TryClose(patience))
            stuck = true;
    if (stuck) {
        // Freed with the connection once its worker has let go; the panel makes a new one.
        new TQueryReaper(std::move(FQueries), std::static_pointer_cast<void>(FSession));
        FSession.reset();
    }
    FQueries.clear();
}

void TCheckEvidencePanel::Abandon(std::chrono::milliseconds patience)
{
    ++FGeneration;
    FWaiting = false;
    FRunning = -1;
    DropQueries(patience);
}
