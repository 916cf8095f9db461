// The catalogue of checks: the groups' lists put together in ribbon order.
#include "CheckCatalogueUnit.h"

#include "CheckNumberingUnit.h"
#include "CheckPeopleUnit.h"
#include "CheckReversalsUnit.h"
#include "CheckSumsUnit.h"
#include "CheckTimesUnit.h"

#include <QStringList>
#include <vector>

QString CheckGroupCaption(TCheckGroup group)
{
    switch (group) {
    case TCheckGroup::Numbering: return QStringLiteral("Номерация");
    case TCheckGroup::Sums: return QStringLiteral("Суми");
    case TCheckGroup::Reversals: return QStringLiteral("Сторно");
    case TCheckGroup::Times: return QStringLiteral("Време");
    case TCheckGroup::People: return QStringLiteral("Оператори и номенклатури");
    }
    return {};
}

std::span<const TCheckDef> CheckList()
{
    static const std::vector<TCheckDef> all = [] {
        std::vector<TCheckDef> list;
        for (const std::span<const TCheckDef> group :
             {NumberingChecks(), SumsChecks(), ReversalsChecks(), TimesChecks(), PeopleChecks()})
            list.insert(list.end(), group.begin(), group.end());
        return list;
    }();
    return all;
}

const TCheckDef* FindCheckByKey(QStringView key)
{
    for (const TCheckDef& def : CheckList())
        if (key == QLatin1StringView(def.Key))
            return &def;
    return nullptr;
}

QString CheckKeys()
{
    QStringList keys;
    for (const TCheckDef& def : CheckList())
        keys << QString::fromLatin1(def.Key);
    return keys.join(QStringLiteral(", "));
}
