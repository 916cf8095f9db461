#pragma once
// The report window's order and find: a click on a column title sorts the whole result by
// that column (ascending, descending, then the report's own order again) with the title's
// indicator, and Ctrl+F opens a find field above the grid whose Enter keeps the rows whose
// text columns hold the text. Both re-run the report from its first page on the engine.

#include <QObject>
#include <QString>
#include <QStringList>

class QFrame;
class QLineEdit;
class TAbsReportBaseForm;
struct TReportFilters;

class TReportSortFind : public QObject {
public:
    // Made by the window (its child), once its grid is built.
    explicit TReportSortFind(TAbsReportBaseForm& form);

    // The title's indicator and the field's text follow the window's filters (a run that
    // failed has put back those before it).
    void ShowState();

    // Opens the find field with the focus in it (Ctrl+F).
    void OpenFind();
    // Closes it (Esc in the field); a find in force stays, said in the summary bar.
    void CloseFind();

    // Widgets, owned by the window.
    QFrame* FindPanel = nullptr;
    QLineEdit* FindField = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void TitleClicked(int column);
    void RunFind();

    TAbsReportBaseForm& FForm;
};
