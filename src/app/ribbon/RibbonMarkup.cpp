// The ribbon command table and string table.

#include "RibbonMarkup.h"

#include <QHash>

#include <utility>

TRibbonMarkupElement::TRibbonMarkupElement(QString pActionName, int pActionID, int pLabelTitleResourceID,
                                           int pLabelDescriptionResourceID, int pTooltipTitleResourceID,
                                           int pTooltipDescriptionResourceID)
    : Name(std::move(pActionName)),
      ID(pActionID),
      LabelTitleResourceID(pLabelTitleResourceID),
      LabelDescriptionResourceID(pLabelDescriptionResourceID),
      TooltipTitleResourceID(pTooltipTitleResourceID),
      TooltipDescriptionResourceID(pTooltipDescriptionResourceID)
{
}

namespace {

// Every descriptor list of the process, owned here; created on first use so that a
// list built during static initialisation finds it.
std::vector<std::unique_ptr<TRibbonMarkupElementList>>& Registry()
{
    static std::vector<std::unique_ptr<TRibbonMarkupElementList>> lists;
    return lists;
}

} // namespace

TRibbonMarkupElementList::TRibbonMarkupElementList(QString resourceName) : fResourceName(std::move(resourceName))
{
    Registry().emplace_back(this);
}

TRibbonMarkupElementList* TRibbonMarkupElementList::Create(const QString& resourceName)
{
    return new TRibbonMarkupElementList(resourceName);
}

TRibbonMarkupElementList* TRibbonMarkupElementList::LookupListByResourceName(const QString& resourceName)
{
    for (const auto& list : Registry())
        if (list->fResourceName.compare(resourceName, Qt::CaseInsensitive) == 0)
            return list.get();
    return nullptr;
}

bool TRibbonMarkupElementList::TryGetItem(int id, TRibbonMarkupElement& out) const
{
    for (const TRibbonMarkupElement& element : fItems)
        if (element.ID == id) {
            out = element;
            return true;
        }
    out = TRibbonMarkupElement(QString(), -1, -1, -1, -1, -1);
    return false;
}

// ---- The program's ribbon ------------------------------------------------------------------

void BuildApplicationRibbonMarkup()
{
    static bool built = false;
    if (built)
        return;
    built = true;

    TRibbonMarkupElementList* list = TRibbonMarkupElementList::Create(QStringLiteral("APPLICATION"));
    const auto add = [list](const char* name, int id, int label, int labelDescription, int tooltipTitle,
                            int tooltipDescription) {
        list->Add(TRibbonMarkupElement(QString::fromLatin1(name), id, label, labelDescription, tooltipTitle,
                                       tooltipDescription));
    };
    add("CmdApplicationMenu", CmdApplicationMenu, 60001, 60002, 60003, -1);
    add("CmdAbout", CmdAbout, 60004, -1, -1, -1);
    add("CmdExit", CmdExit, 60013, -1, -1, -1);
    add("CmdReports", CmdReports, 60022, -1, -1, -1);
    add("CmdTableSalesGroup", CmdTableSalesGroup, 60023, -1, -1, -1);
    add("CmdSalesSummary", CmdSalesSummary, 60024, -1, 60025, 60026);
    add("CmdChooseDb", CmdChooseDb, 60029, -1, -1, -1);
    add("CmdSalePayments", CmdSalePayments, 60032, -1, 60033, 60034);
    add("CmdSalesDetail", CmdSalesDetail, 60037, -1, 60038, 60039);
    add("CmdSalesReturn", CmdSalesReturn, 60042, -1, 60043, -1);
    add("CmdRevokedSales", CmdRevokedSales, 60046, -1, 60047, -1);
    add("CmdTableNomenclatureGroups", CmdTableNomenclatureGroups, 60050, -1, -1, -1);
    add("CmdItemsData", CmdItemsData, 60051, -1, 60052, 60053);
    add("CmdPartners", CmdPartners, 60056, -1, 60057, 60058);
    add("CmdActivityTypes", CmdActivityTypes, 60061, -1, 60062, 60063);
    add("CmdPayTypes", CmdPayTypes, 60066, -1, 60067, 60068);
    add("CmdStores", CmdStores, 60071, -1, 60072, 60073);
    add("CmdWorkplaces", CmdWorkplaces, 60076, -1, 60077, -1);
    add("CmdUsers", CmdUsers, 60080, -1, 60081, 60082);
    add("CmdUserRoles", CmdUserRoles, 60085, -1, 60086, -1);
    add("CmdUserRights", CmdUserRights, 60089, -1, 60090, 60091);
    add("CmdTools", CmdTools, 60094, -1, -1, -1);
    add("CmdExportExcel", CmdExportExcel, 60095, -1, 60096, 60097);
    add("CmdExportCSV", CmdExportCSV, 60100, -1, 60101, 60102);
    add("CmdToolsGroup", CmdToolsGroup, 60105, -1, -1, -1);
    add("CmdActionsLog", CmdActionsLog, 60106, -1, -1, -1);
}

namespace {

// The list exists from program initialisation on, before any window is created.
const bool kApplicationMarkupBuilt = (BuildApplicationRibbonMarkup(), true);

const QHash<int, QString>& StringTable()
{
    static const QHash<int, QString> table = {
        {60001, QStringLiteral("Системни")},
        {60002, QStringLiteral("Системни")},
        {60003, QStringLiteral("Системни")},
        {60004, QStringLiteral("Информация за \"Дравик Одитор Продажби\"")},
        {60013, QStringLiteral("И&зход")},
        {60022, QStringLiteral("Таблици")},
        {60023, QStringLiteral("Продажби")},
        {60024, QStringLiteral("Продажби обобщено")},
        {60025, QStringLiteral("Продажби обобщено")},
        {60026, QStringLiteral("Обобщени данни за продажбите")},
        {60029, QStringLiteral("Избор на база данни")},
        {60032, QStringLiteral("Плащания")},
        {60033, QStringLiteral("Плащания по продажби")},
        {60034, QStringLiteral("Данни за плащанията по продажбите")},
        {60037, QStringLiteral("Продажби детайлни")},
        {60038, QStringLiteral("Продажби детайлни")},
        {60039, QStringLiteral("Детайлни данни за продажбите")},
        {60042, QStringLiteral("Сторнирани продажби")},
        {60043, QStringLiteral("Сторнирани продажби")},
        {60046, QStringLiteral("Анулирани продажби")},
        {60047, QStringLiteral("Анулирани продажби")},
        {60050, QStringLiteral("Номенклатури")},
        {60051, QStringLiteral("Стоки")},
        {60052, QStringLiteral("Стоки / услуги")},
        {60053, QStringLiteral("Номенклатура със стоките и услугите")},
        {60056, QStringLiteral("Клиенти / Доставчици")},
        {60057, QStringLiteral("Клиенти / Доставчици")},
        {60058, QStringLiteral("Номенклатура с данните за клиентите и доставчиците")},
        {60061, QStringLiteral("Видове Операции ")},
        {60062, QStringLiteral("Видове Операции ")},
        {60063, QStringLiteral("Видове операции (типове документи)")},
        {60066, QStringLiteral("Видове плащания")},
        {60067, QStringLiteral("Видове плащания")},
        {60068, QStringLiteral("Видове плащания дефинирани в системата")},
        {60071, QStringLiteral("Търговски обекти")},
        {60072, QStringLiteral("Търговски обекти")},
        {60073, QStringLiteral("Търговски обекти (Складове) дефинирани в системата")},
        {60076, QStringLiteral("Работни места")},
        {60077, QStringLiteral("Работни места")},
        {60080, QStringLiteral("Потребители")},
        {60081, QStringLiteral("Потребители")},
        {60082, QStringLiteral("Потребители дефинирани в системата")},
        {60085, QStringLiteral("Потребителски роли")},
        {60086, QStringLiteral("Потребителски роли")},
        {60089, QStringLiteral("Потребителски права")},
        {60090, QStringLiteral("Потребителски права")},
        {60091, QStringLiteral("Потребителски права")},
        {60094, QStringLiteral("Инструменти")},
        {60095, QStringLiteral("Експорт в Ексел")},
        {60096, QStringLiteral("Експорт в Ексел")},
        {60097, QStringLiteral("Експорт на данните от текущо избраната справка във Ексел")},
        {60100, QStringLiteral("Експорт в CSV")},
        {60101, QStringLiteral("Експорт в CSV")},
        {60102, QStringLiteral("Експорт на данните от текущо избраната справка във CSV")},
        {60105, QStringLiteral("Инструменти")},
        {60106, QStringLiteral("Лог на действията")},
    };
    return table;
}

} // namespace

bool TryGetRibbonResourceString(int resourceId, QString& out)
{
    const auto it = StringTable().constFind(resourceId);
    if (it == StringTable().constEnd()) {
        out.clear();
        return false;
    }
    out = *it;
    return true;
}

QString RibbonResourceString(int resourceId)
{
    QString text;
    TryGetRibbonResourceString(resourceId, text);
    return text;
}
