#pragma once
// What becomes of a workbook written for the user to look at: the desktop's program for
// spreadsheets opens it; where there is none, or it ends in failure, the user is asked where
// to save it instead of finding it later in the program's own folder.

#include <QString>
#include <functional>

// Whether the desktop names a program for workbooks (xdg-mime query default).
bool HasWorkbookHandler();

// Opens the workbook with the desktop's program (xdg-open, not waited for); `onFailure` runs
// on this thread if that ends in failure. False, and nothing started, when the desktop has no
// program for workbooks.
bool OpenWorkbookWithDesktop(const QString& path, std::function<void()> onFailure);

// Asks where to save the workbook at `path` (a save dialog proposing its name) and moves it
// there; given up, a message box says where it stays.
void OfferToSaveWorkbook(const QString& path);
