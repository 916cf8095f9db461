// The data source chooser: the list of data sources and the connection test.
#include "ChooseDBUnit.h"

#include "DbEngineUnit.h"

#include <QApplication>
#include <QCollator>
#include <QGuiApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <functional>
#include <memory>
#include <sqlext.h>

namespace {

// Data sources that come with SQL Anywhere as samples and demonstrations; never listed.
constexpr const char16_t* kExcludedSamples[] = {
    u"ASA 9.0 Client Sample",
    u"ASA 9.0 Sample",
    u"SQL Anywhere 10 CustDB",
    u"SQL Anywhere 10 Demo",
    u"QAnywhere 10 Demo",
    u"QAnywhere 9.0 Sample",
    u"UltraLite 9.0 Sample",
};

// Name and driver buffers of the enumeration, in bytes. unixODBC keeps at most 1000 bytes of
// a section name or value, so it never has to cut a text to fit these; a cut text would
// end the listing and hide every data source after the long one.
constexpr SQLSMALLINT kDsnBufferSize = 1024;

// Layout of the client area (pixels). The list keeps its margins to the right and bottom
// edges when the window is resized; the buttons keep their distance to the right edge.
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 399;
constexpr int kMargin = 8;
constexpr int kListRightGap = 127; // from the list's right edge to the window's right edge
constexpr int kButtonWidth = 104;
constexpr int kButtonHeight = 25;
constexpr int kButtonRightGap = 8;
constexpr int kOkTop = 24;
constexpr int kCancelTop = 55;
constexpr int kRefreshTop = 128;

// Exact, case-sensitive comparisons, as the driver manager reports the texts.
bool IsSupportedDriver(const QString& description)
{
    return FindDbDriver(description).Engine != nullptr;
}

bool IsExcludedSample(const QString& dsn)
{
    for (const char16_t* name : kExcludedSamples)
        if (dsn == QStringView(name))
            return true;
    return false;
}

// Case-insensitive, locale-aware order of the list; texts that collate alike fall back to
// plain code-point order so that the order never depends on insertion.
bool DsnLess(const QString& a, const QString& b)
{
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

// One entry of the list: the data source name as its text, and the descriptor it owns.
class TDsnItem : public QListWidgetItem {
public:
    TDsnItem(const QString& dsn, const QString& providerDescr)
        : QListWidgetItem(dsn, nullptr, QListWidgetItem::UserType),
          Model(std::make_unique<TSqlDBModel>(dsn, providerDescr))
    {
    }
    bool operator<(const QListWidgetItem& other) const override { return DsnLess(text(), other.text()); }

    const std::unique_ptr<TSqlDBModel> Model;
};

// The list box; a double click with the left button anywhere on it is reported once the
// list has handled the click itself.
class TDsnListBox : public QListWidget {
public:
    using QListWidget::QListWidget;
    std::function<void()> OnDblClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        QListWidget::mouseDoubleClickEvent(event);
        if (event->button() == Qt::LeftButton && OnDblClick)
            OnDblClick();
    }
};

// An ODBC handle from TChooseDBForm::AllocHandle, freed on scope exit.
struct TScopedHandle {
    SQLSMALLINT Type;
    SQLHANDLE Handle = SQL_NULL_HANDLE;

    explicit TScopedHandle(SQLSMALLINT type) : Type(type) {}
    ~TScopedHandle()
    {
        if (Handle != SQL_NULL_HANDLE)
            SQLFreeHandle(Type, Handle);
    }
    TScopedHandle(const TScopedHandle&) = delete;
    TScopedHandle& operator=(const TScopedHandle&) = delete;

    bool Allocate(SQLHANDLE parent)
    {
        SQLHANDLE h = SQL_NULL_HANDLE;
        if (!SQL_SUCCEEDED(TChooseDBForm::AllocHandle(Type, parent, &h)) || h == SQL_NULL_HANDLE)
            return false;
        Handle = h;
        return true;
    }
};

std::unique_ptr<TChooseDBForm> gChooser;

void DestroyChooser() { gChooser.reset(); }

QString MessageCaption() { return QGuiApplication::applicationDisplayName(); }

} // namespace

TChooseDBForm::TAllocHandleFn TChooseDBForm::AllocHandle = &SQLAllocHandle;

TChooseDBForm::TChooseDBForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChooseDBForm"));
    setWindowTitle(QStringLiteral("Избор на база данни"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    auto* list = new TDsnListBox(this);
    list->OnDblClick = [this] { lbDSNDblClick(); };
    lbDSN = list;
    lbDSN->setObjectName(QStringLiteral("lbDSN"));
    lbDSN->setSelectionMode(QAbstractItemView::SingleSelection);
    lbDSN->setSortingEnabled(true);

    QStyle* st = style();
    btnOk = new QPushButton(st->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(st->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Отказ"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    btnRefresh = new QPushButton(st->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("Опресни"), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnRefresh->setAutoDefault(false);

    connect(btnOk, &QPushButton::clicked, this, &TChooseDBForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnRefresh, &QPushButton::clicked, this, &TChooseDBForm::btnRefreshClick);

    // Small enough to shrink well below the designed size, large enough that the list
    // never runs under the buttons and the last button stays whole.
    setMinimumSize(kMargin + 100 + kListRightGap, kRefreshTop + kButtonHeight + kMargin);
    resize(kClientWidth, kClientHeight);
    setTabOrder(lbDSN, btnOk);
    setTabOrder(btnOk, btnCancel);
    setTabOrder(btnCancel, btnRefresh);
}

TChooseDBForm::~TChooseDBForm() { FormDestroy(); }

void TChooseDBForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    lbDSN->setGeometry(kMargin, kMargin, w - kMargin - kListRightGap, h - 2 * kMargin);
    const int buttonLeft = w - kButtonRightGap - kButtonWidth;
    btnOk->setGeometry(buttonLeft, kOkTop, kButtonWidth, kButtonHeight);
    btnCancel->setGeometry(buttonLeft, kCancelTop, kButtonWidth, kButtonHeight);
    btnRefresh->setGeometry(buttonLeft, kRefreshTop, kButtonWidth, kButtonHeight);
}

bool TChooseDBForm::Run(TSqlDBModel& dbMdl)
{
    if (!gChooser) {
        gChooser = std::make_unique<TChooseDBForm>();
        // Destroyed with the application: when its event loop ends, or at the latest when
        // the application object goes, while the windowing system is still there.
        static const bool cleanupRegistered = [] {
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, &DestroyChooser);
            qAddPostRoutine(&DestroyChooser);
            return true;
        }();
        Q_UNUSED(cleanupRegistered);
    }
    TChooseDBForm& form = *gChooser;
    // A failed listing still shows the chooser, empty: Refresh lists again once the driver
    // manager answers, and Cancel leaves the program as it was.
    form.FillDataSourcesOrSay(QApplication::activeWindow());
    form.lbDSN->setFocus();
    if (form.exec() != QDialog::Accepted)
        return false;
    const TSqlDBModel* chosen = form.GetCurrentDbModel();
    if (!chosen)
        return false;
    dbMdl.CopyFrom(*chosen);
    return true;
}

TSqlDBModel* TChooseDBForm::GetCurrentDbModel() const
{
    const QList<QListWidgetItem*> selected = lbDSN->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    return static_cast<TDsnItem*>(selected.first())->Model.get();
}

std::vector<TOdbcDataSource> ListOdbcDataSources(SQLHENV env)
{
    // The user data sources, then the system ones. unixODBC's SQL_FETCH_FIRST would merge the
    // two files and report a system data source only when no user one has its name; walking
    // them one after the other reports both, each with its own driver. Any result other than
    // plain success ends the listing and its entry is not added: no more data ends one file,
    // anything else (an error, a cut text) ends them all.
    std::vector<TOdbcDataSource> list;
    SQLCHAR name[kDsnBufferSize];
    SQLCHAR driver[kDsnBufferSize];
    for (const SQLUSMALLINT first : {SQLUSMALLINT(SQL_FETCH_FIRST_USER), SQLUSMALLINT(SQL_FETCH_FIRST_SYSTEM)}) {
        SQLUSMALLINT direction = first;
        SQLRETURN rc;
        while ((rc = SQLDataSources(env, direction, name, kDsnBufferSize, nullptr, driver, kDsnBufferSize,
                                    nullptr)) == SQL_SUCCESS) {
            // 8-bit text of the ini files in the system code page (UTF-8 here).
            list.push_back({QString::fromLocal8Bit(reinterpret_cast<const char*>(name)),
                            QString::fromLocal8Bit(reinterpret_cast<const char*>(driver))});
            direction = SQL_FETCH_NEXT;
        }
        if (rc != SQL_NO_DATA)
            break;
    }
    return list;
}

void TChooseDBForm::FillDataSources()
{
    lbDSN->clear(); // the entries own their descriptors

    TScopedHandle env(SQL_HANDLE_ENV);
    if (!env.Allocate(SQL_NULL_HANDLE))
        throw EODBCError(QStringLiteral("Cannot allocate ODBC handle"));
    SQLSetEnvAttr(env.Handle, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    // Not used further: only proves that the driver manager can give a connection.
    TScopedHandle dbc(SQL_HANDLE_DBC);
    if (!dbc.Allocate(env.Handle))
        throw EODBCError(QStringLiteral("Cannot allocate ODBC connection"));

    for (const TOdbcDataSource& ds : ListOdbcDataSources(env.Handle))
        if (IsSupportedDriver(ds.Driver) && !IsExcludedSample(ds.Name))
            lbDSN->addItem(new TDsnItem(ds.Name, ds.Driver));

    if (lbDSN->count() > 0)
        lbDSN->setCurrentRow(0);
}

void TChooseDBForm::btnOkClick()
{
    const TSqlDBModel* model = GetCurrentDbModel();
    if (!model)
        return;
    if (model->DbType() == dbNone) {
        QMessageBox::information(this, MessageCaption(),
                                 QStringLiteral("Selected Database Type is not supported in Skribo!"),
                                 QMessageBox::Ok);
        return;
    }
    accept();
}

void TChooseDBForm::lbDSNDblClick() { btnOkClick(); }

void TChooseDBForm::FillDataSourcesOrSay(QWidget* boxParent)
{
    try {
        FillDataSources();
    } catch (const Exception& e) {
        QMessageBox::critical(boxParent, MessageCaption(), e.Message(), QMessageBox::Ok);
    }
}

void TChooseDBForm::btnRefreshClick()
{
    FillDataSourcesOrSay(this);
    lbDSN->setFocus();
}

void TChooseDBForm::FormDestroy() { lbDSN->clear(); }
