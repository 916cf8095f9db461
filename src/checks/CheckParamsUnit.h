#pragma once
// The parameters the audit checks take beyond the report filters (a tolerance, a time limit,
// opening hours, the log's activity types that mean a reversal): their defaults, their
// captions and command-line names, reading them from text and saying them in words for the
// summary bar and the head of an export.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTime>
#include <optional>

// One bit for each parameter; a check names the ones it takes.
enum TCheckParam : unsigned {
    cpTolerance = 1,          // amounts that differ by no more than this are equal
    cpOpenMinutes = 2,        // a sale open longer than this is flagged
    cpOpeningHours = 4,       // sales outside them are flagged (none when not set)
    cpReversalActivities = 8, // the users' log entries of these activity types are reversals
};
using TCheckParamSet = unsigned;

struct TCheckParams {
    qint64 ToleranceCents = 1; // in stotinki, 0 or more
    int OpenMinutes = 60;      // 1 or more
    // Both set or both null (not set). A closing time before the opening time is a night
    // over midnight.
    QTime OpensAt{};
    QTime ClosesAt{};
    QStringList ReversalActivities{QStringLiteral("Сторниране на продажба")};

    bool operator==(const TCheckParams&) const = default;

    bool HasOpeningHours() const { return OpensAt.isValid() && ClosesAt.isValid(); }

    // "Допуск: 0,01 лв.", "Работно време: 08:00 – 21:00", … for the parameters in `which`,
    // in bit order.
    QStringList Words(TCheckParamSet which) const;

    // Readers of the texts the command line and the window take; nullopt for a text that is
    // not such a value.
    static std::optional<qint64> ParseTolerance(QStringView text); // "0.01", "0,5", "2"
    static std::optional<int> ParseMinutes(QStringView text);      // "60"
    // "08:00-21:00" (also with "–"); an empty text is "not set" (two null times).
    static std::optional<std::pair<QTime, QTime>> ParseOpeningHours(QStringView text);
    // The tolerance as the command line and the window write it: "0.01".
    static QString ToleranceText(qint64 cents);
};
