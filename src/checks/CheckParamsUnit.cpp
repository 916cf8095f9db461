// The checks' parameters: defaults, reading and words (see CheckParamsUnit.h).
#include "CheckParamsUnit.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

QString TimeText(QTime t) { return t.toString(QStringLiteral("HH:mm")); }

} // namespace

QString TCheckParams::ToleranceText(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QStringList TCheckParams::Words(TCheckParamSet which) const
{
    QStringList words;
    if (which & cpTolerance)
        words << QStringLiteral("Допуск: %1 лв.").arg(ToleranceText(ToleranceCents).replace(u'.', u','));
    if (which & cpOpenMinutes)
        words << QStringLiteral("Най-много отворена: %1 мин.").arg(OpenMinutes);
    if (which & cpOpeningHours)
        words << (HasOpeningHours()
                      ? QStringLiteral("Работно време: %1 – %2").arg(TimeText(OpensAt), TimeText(ClosesAt))
                      : QStringLiteral("Работно време: не е зададено"));
    if (which & cpReversalActivities) {
        QStringList quoted;
        for (const QString& a : ReversalActivities)
            quoted << QStringLiteral("„%1“").arg(a);
        words << QStringLiteral("Дейности за сторно: %1")
                     .arg(quoted.isEmpty() ? QStringLiteral("няма") : quoted.join(QStringLiteral(", ")));
    }
    return words;
}

std::optional<qint64> TCheckParams::ParseTolerance(QStringView text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,9})(?:[.,](\\d{1,2}))?\\s*$"));
    const QRegularExpressionMatch m = form.match(text.toString());
    if (!m.hasMatch())
        return std::nullopt;
    qint64 cents = m.capturedView(1).toLongLong() * 100;
    if (m.hasCaptured(2)) {
        const QStringView frac = m.capturedView(2);
        cents += frac.size() == 1 ? frac.toInt() * 10 : frac.toInt();
    }
    return cents;
}

std::optional<int> TCheckParams::ParseMinutes(QStringView text)
{
    bool ok = false;
    const int minutes = text.trimmed().toInt(&ok);
    if (!ok || minutes < 1 || minutes > 100000)
        return std::nullopt;
    return minutes;
}

std::optional<std::pair<QTime, QTime>> TCheckParams::ParseOpeningHours(QStringView text)
{
    if (text.trimmed().isEmpty())
        return std::pair<QTime, QTime>{};
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,2}):(\\d{2})\\s*[-–]\\s*(\\d{1,2}):(\\d{2})\\s*$"));
    const QRegularExpressionMatch m = form.match(text.toString());
    if (!m.hasMatch())
        return std::nullopt;
    const QTime from(m.capturedView(1).toInt(), m.capturedView(2).toInt());
    const QTime to(m.capturedView(3).toInt(), m.capturedView(4).toInt());
    if (!from.isValid() || !to.isValid() || from == to)
        return std::nullopt;
    return std::pair{from, to};
}
