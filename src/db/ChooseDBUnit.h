#pragma once

#include <vector>
// Data source chooser: the modal dialog that lists the ODBC data sources served by a
// supported driver and hands the chosen one back as a connection descriptor. It does
// not connect.

#include "Exception.h"
#include "SqlDbModelUnit.h"

#include <QDialog>
#include <sql.h>

class QListWidget;
class QPushButton;
class QResizeEvent;

// The driver manager could not give the handles needed for listing the data sources.
class EODBCError : public Exception {
public:
    using Exception::Exception;
};

// One ODBC data source: its name and the driver description it is registered with.
struct TOdbcDataSource {
    QString Name;
    QString Driver;
};
// The user data sources, then the system ones, as the driver manager reports them (a name in
// both files is listed twice).
std::vector<TOdbcDataSource> ListOdbcDataSources(SQLHENV env);

class TChooseDBForm : public QDialog {
    Q_OBJECT

public:
    explicit TChooseDBForm(QWidget* parent = nullptr);
    ~TChooseDBForm() override;

    // Lists the data sources afresh and shows the dialog modally. True when the user
    // accepted an entry: dbMdl then describes it (no credentials). False when the dialog
    // was cancelled or closed; dbMdl is then untouched. A listing that fails is said in an
    // error box, and the dialog comes with an empty list. One dialog serves the whole run
    // of the program; it is destroyed when the application ends.
    static bool Run(TSqlDBModel& dbMdl);

    // Descriptor of the selected entry, owned by the list; null when nothing is selected.
    TSqlDBModel* GetCurrentDbModel() const;

    // Clears the list and lists the user data sources, then the system ones, keeping those
    // of a supported driver that are not sample data sources; selects the first entry.
    // Throws EODBCError when the driver manager gives no environment or connection handle.
    void FillDataSources();
    // FillDataSources, a failure said in an error box over boxParent (the list left empty).
    void FillDataSourcesOrSay(QWidget* boxParent);

    void btnOkClick();
    void lbDSNDblClick();
    void btnRefreshClick();
    void FormDestroy();

    // How FillDataSources allocates its ODBC handles (SQLAllocHandle); replaceable so that
    // the allocation failures can be exercised.
    using TAllocHandleFn = SQLRETURN (*)(SQLSMALLINT handleType, SQLHANDLE input, SQLHANDLE* output);
    static TAllocHandleFn AllocHandle;

    // Components, owned by the dialog.
    QListWidget* lbDSN;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QPushButton* btnRefresh;

protected:
    void resizeEvent(QResizeEvent* event) override;
};
