// The parameter fields of a check window (see CheckParamsPanelUnit.h).
#include "CheckParamsPanelUnit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

constexpr int kFieldWidth = 171;

QTime DefaultOpensAt() { return QTime(8, 0); }
QTime DefaultClosesAt() { return QTime(21, 0); }

} // namespace

TCheckParamsPanel::TCheckParamsPanel(TCheckParamSet which, const QLabel* captionLook, QWidget* parent)
    : QWidget(parent), FWhich(which)
{
    setObjectName(QStringLiteral("CheckParamsPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 6, 4);
    layout->setSpacing(3);
    const auto caption = [&](const QString& text) {
        auto* label = new QLabel(text, this);
        if (captionLook)
            label->setPalette(captionLook->palette());
        label->setWordWrap(true);
        layout->addSpacing(4);
        layout->addWidget(label);
        return label;
    };
    if (which & cpTolerance) {
        caption(QStringLiteral("Допустима разлика, лв."));
        ToleranceField = new QLineEdit(this);
        ToleranceField->setObjectName(QStringLiteral("ToleranceField"));
        ToleranceField->setFixedWidth(80);
        ToleranceField->setAlignment(Qt::AlignRight);
        QObject::connect(ToleranceField, &QLineEdit::textEdited, this, [this] { SetToleranceRefused(false); });
        layout->addWidget(ToleranceField, 0, Qt::AlignLeft);
    }
    if (which & cpOpenMinutes) {
        caption(QStringLiteral("Най-много отворена, мин."));
        MinutesField = new QSpinBox(this);
        MinutesField->setObjectName(QStringLiteral("MinutesField"));
        MinutesField->setRange(1, 100000);
        MinutesField->setFixedWidth(80);
        layout->addWidget(MinutesField, 0, Qt::AlignLeft);
    }
    if (which & cpOpeningHours) {
        layout->addSpacing(4);
        OpeningHoursBox = new QCheckBox(QStringLiteral("Работно време"), this);
        OpeningHoursBox->setObjectName(QStringLiteral("OpeningHoursBox"));
        if (captionLook)
            OpeningHoursBox->setPalette(captionLook->palette());
        layout->addWidget(OpeningHoursBox);
        auto* row = new QHBoxLayout;
        row->setSpacing(4);
        const auto time = [&](const QString& name) {
            auto* t = new QTimeEdit(this);
            t->setObjectName(name);
            t->setDisplayFormat(QStringLiteral("HH:mm"));
            t->setFixedWidth(64);
            row->addWidget(t);
            return t;
        };
        OpensAtField = time(QStringLiteral("OpensAtField"));
        auto* dash = new QLabel(QStringLiteral("–"), this);
        if (captionLook)
            dash->setPalette(captionLook->palette());
        row->addWidget(dash);
        ClosesAtField = time(QStringLiteral("ClosesAtField"));
        row->addStretch(1);
        layout->addLayout(row);
        QObject::connect(OpeningHoursBox, &QCheckBox::toggled, this, [this](bool on) {
            OpensAtField->setEnabled(on);
            ClosesAtField->setEnabled(on);
        });
    }
    if (which & cpReversalActivities) {
        caption(QStringLiteral("Дейности от лога, които са сторно"));
        ActivitiesList = new QListWidget(this);
        ActivitiesList->setObjectName(QStringLiteral("ActivitiesList"));
        ActivitiesList->setFixedSize(kFieldWidth, 110);
        ActivitiesList->setTextElideMode(Qt::ElideRight);
        ActivitiesList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // long names elided, whole in tooltips
        ActivitiesList->setUniformItemSizes(true);
        layout->addWidget(ActivitiesList, 0, Qt::AlignLeft);
    }
    Show(TCheckParams{});
}

void TCheckParamsPanel::SetActivityNames(const QStringList& names)
{
    if (!ActivitiesList)
        return;
    QStringList chosen;
    for (int i = 0; i < ActivitiesList->count(); ++i)
        if (ActivitiesList->item(i)->checkState() == Qt::Checked)
            chosen << ActivitiesList->item(i)->text();
    QStringList all = names;
    for (const QString& c : std::as_const(chosen))
        if (!all.contains(c))
            all << c;
    ActivitiesList->clear();
    for (const QString& name : std::as_const(all)) {
        // A list item's text is plain text: a name that looks like markup is shown as stored.
        auto* item = new QListWidgetItem(name, ActivitiesList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(chosen.contains(name) ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(name.toHtmlEscaped());
    }
}

void TCheckParamsPanel::Show(const TCheckParams& params)
{
    if (ToleranceField) {
        ToleranceField->setText(TCheckParams::ToleranceText(params.ToleranceCents).replace(u'.', u','));
        SetToleranceRefused(false);
    }
    if (MinutesField)
        MinutesField->setValue(params.OpenMinutes);
    if (OpeningHoursBox) {
        OpeningHoursBox->setChecked(params.HasOpeningHours());
        OpensAtField->setTime(params.HasOpeningHours() ? params.OpensAt : DefaultOpensAt());
        ClosesAtField->setTime(params.HasOpeningHours() ? params.ClosesAt : DefaultClosesAt());
        OpensAtField->setEnabled(params.HasOpeningHours());
        ClosesAtField->setEnabled(params.HasOpeningHours());
    }
    if (ActivitiesList) {
        QStringList names;
        for (int i = 0; i < ActivitiesList->count(); ++i)
            names << ActivitiesList->item(i)->text();
        ActivitiesList->clear();
        for (const QString& a : params.ReversalActivities)
            if (!names.contains(a))
                names << a;
        for (const QString& name : std::as_const(names)) {
            auto* item = new QListWidgetItem(name, ActivitiesList);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
            item->setCheckState(params.ReversalActivities.contains(name) ? Qt::Checked : Qt::Unchecked);
            item->setToolTip(name.toHtmlEscaped());
        }
    }
}

std::optional<TCheckParams> TCheckParamsPanel::Read(TCheckParams params)
{
    if (ToleranceField) {
        const std::optional<qint64> cents = TCheckParams::ParseTolerance(ToleranceField->text());
        if (!cents) {
            SetToleranceRefused(true);
            ToleranceField->setFocus();
            ToleranceField->selectAll();
            return std::nullopt;
        }
        params.ToleranceCents = *cents;
    }
    if (MinutesField) {
        MinutesField->interpretText();
        params.OpenMinutes = MinutesField->value();
    }
    if (OpeningHoursBox) {
        const bool on = OpeningHoursBox->isChecked() && OpensAtField->time() != ClosesAtField->time();
        params.OpensAt = on ? OpensAtField->time() : QTime();
        params.ClosesAt = on ? ClosesAtField->time() : QTime();
    }
    if (ActivitiesList) {
        params.ReversalActivities.clear();
        for (int i = 0; i < ActivitiesList->count(); ++i)
            if (ActivitiesList->item(i)->checkState() == Qt::Checked)
                params.ReversalActivities << ActivitiesList->item(i)->text();
    }
    return params;
}

QList<QWidget*> TCheckParamsPanel::Fields() const
{
    QList<QWidget*> fields;
    for (QWidget* w : std::initializer_list<QWidget*>{ToleranceField, MinutesField, OpeningHoursBox, OpensAtField,
                                                      ClosesAtField, ActivitiesList})
        if (w)
            fields << w;
    return fields;
}

void TCheckParamsPanel::SetToleranceRefused(bool refused)
{
    if (!ToleranceField)
        return;
    ToleranceField->setProperty("refused", refused);
    ToleranceField->setStyleSheet(refused ? QStringLiteral("QLineEdit { border: 2px solid #d01010; }") : QString());
    ToleranceField->setToolTip(
        refused ? QStringLiteral("„%1“ не е сума. Въведете сума в лева, напр. 0,01.").arg(ToleranceField->text())
                : QString());
}
