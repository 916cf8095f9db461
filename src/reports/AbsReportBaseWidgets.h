#pragma once
// The report window's widgets: how they look and are laid out, built into a form.

#include <functional>

class TAbsReportBaseForm;

// Creates the window's widgets with `form` as their parent and fills its widget members.
// A left click anywhere on the filter bar calls onFilterBarClick; the grid copies its
// selected cells with Ctrl+C. The other controls are bound by the form.
void BuildReportWidgets(TAbsReportBaseForm& form, std::function<void()> onFilterBarClick);
