#pragma once
// TCheckParamsPanel: the fields of a check's parameters in the filter panel of its window
// (tolerance, minutes, opening hours, the activity types that mean a reversal), each with its
// caption and default, and reading them back into the parameters of a run.

#include "CheckParamsUnit.h"

#include <QList>
#include <QWidget>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTimeEdit;

class TCheckParamsPanel : public QWidget {
public:
    // Fields for the parameters in `which` only; `captionLook` lends its palette to the captions
    // (those of the filters beside them).
    TCheckParamsPanel(TCheckParamSet which, const QLabel* captionLook, QWidget* parent);

    TCheckParamSet Which() const { return FWhich; }
    // The names of the log's activity types to choose from (database texts, shown as plain
    // text); the chosen ones not among them stay in the list.
    void SetActivityNames(const QStringList& names);
    // The fields show `params`.
    void Show(const TCheckParams& params);
    // The fields read into a copy of `params`; nullopt when one holds no such value: it is
    // framed in red with the reason as its tooltip and has the focus.
    std::optional<TCheckParams> Read(TCheckParams params);
    // The fields Enter runs the check from.
    QList<QWidget*> Fields() const;

    QLineEdit* ToleranceField = nullptr;
    QSpinBox* MinutesField = nullptr;
    QCheckBox* OpeningHoursBox = nullptr;
    QTimeEdit* OpensAtField = nullptr;
    QTimeEdit* ClosesAtField = nullptr;
    QListWidget* ActivitiesList = nullptr;

private:
    void SetToleranceRefused(bool refused);

    TCheckParamSet FWhich;
};
