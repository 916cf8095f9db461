// Ribbon command descriptors: the process-wide list registry, the "APPLICATION" list of
// the program's 26 commands and the string table their resource ids point into.

#include "app/ribbon/RibbonMarkup.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string U8(const QString& s) { return s.toStdString(); }

const TRibbonMarkupElement kEmpty(QString(), -1, -1, -1, -1, -1);

TEST(RibbonMarkupList, ApplicationListHoldsTheTwentySixCommandsInIdOrder)
{
    struct Row {
        const char* name;
        int id, label, labelDescription, tooltipTitle, tooltipDescription;
    };
    const Row expected[] = {
        {"CmdApplicationMenu", 2, 60001, 60002, 60003, -1},
        {"CmdAbout", 3, 60004, -1, -1, -1},
        {"CmdExit", 4, 60013, -1, -1, -1},
        {"CmdReports", 5, 60022, -1, -1, -1},
        {"CmdTableSalesGroup", 6, 60023, -1, -1, -1},
        {"CmdSalesSummary", 7, 60024, -1, 60025, 60026},
        {"CmdChooseDb", 8, 60029, -1, -1, -1},
        {"CmdSalePayments", 9, 60032, -1, 60033, 60034},
        {"CmdSalesDetail", 10, 60037, -1, 60038, 60039},
        {"CmdSalesReturn", 11, 60042, -1, 60043, -1},
        {"CmdRevokedSales", 12, 60046, -1, 60047, -1},
        {"CmdTableNomenclatureGroups", 13, 60050, -1, -1, -1},
        {"CmdItemsData", 14, 60051, -1, 60052, 60053},
        {"CmdPartners", 15, 60056, -1, 60057, 60058},
        {"CmdActivityTypes", 16, 60061, -1, 60062, 60063},
        {"CmdPayTypes", 17, 60066, -1, 60067, 60068},
        {"CmdStores", 18, 60071, -1, 60072, 60073},
        {"CmdWorkplaces", 19, 60076, -1, 60077, -1},
        {"CmdUsers", 20, 60080, -1, 60081, 60082},
        {"CmdUserRoles", 21, 60085, -1, 60086, -1},
        {"CmdUserRights", 22, 60089, -1, 60090, 60091},
        {"CmdTools", 23, 60094, -1, -1, -1},
        {"CmdExportExcel", 24, 60095, -1, 60096, 60097},
        {"CmdExportCSV", 25, 60100, -1, 60101, 60102},
        {"CmdToolsGroup", 26, 60105, -1, -1, -1},
        {"CmdActionsLog", 27, 60106, -1, -1, -1},
    };

    const TRibbonMarkupElementList* list = TRibbonMarkupElementList::LookupListByResourceName("APPLICATION");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(U8(list->ResourceName()), "APPLICATION");
    ASSERT_EQ(list->Count(), 26);
    for (int i = 0; i < 26; ++i) {
        const Row& row = expected[i];
        SCOPED_TRACE(row.name);
        const TRibbonMarkupElement& item = list->Item(i);
        EXPECT_EQ(item, TRibbonMarkupElement(row.name, row.id, row.label, row.labelDescription, row.tooltipTitle,
                                             row.tooltipDescription));
        TRibbonMarkupElement found;
        EXPECT_TRUE(list->TryGetItem(row.id, found));
        EXPECT_EQ(found, item);
    }
}

TEST(RibbonMarkupList, CommandIdConstantsMatchTheDescriptors)
{
    const std::pair<int, const char*> constants[] = {
        {CmdApplicationMenu, "CmdApplicationMenu"}, {CmdAbout, "CmdAbout"}, {CmdExit, "CmdExit"},
        {CmdReports, "CmdReports"}, {CmdTableSalesGroup, "CmdTableSalesGroup"}, {CmdSalesSummary, "CmdSalesSummary"},
        {CmdChooseDb, "CmdChooseDb"}, {CmdSalePayments, "CmdSalePayments"}, {CmdSalesDetail, "CmdSalesDetail"},
        {CmdSalesReturn, "CmdSalesReturn"}, {CmdRevokedSales, "CmdRevokedSales"},
        {CmdTableNomenclatureGroups, "CmdTableNomenclatureGroups"}, {CmdItemsData, "CmdItemsData"},
        {CmdPartners, "CmdPartners"}, {CmdActivityTypes, "CmdActivityTypes"}, {CmdPayTypes, "CmdPayTypes"},
        {CmdStores, "CmdStores"}, {CmdWorkplaces, "CmdWorkplaces"}, {CmdUsers, "CmdUsers"},
        {CmdUserRoles, "CmdUserRoles"}, {CmdUserRights, "CmdUserRights"}, {CmdTools, "CmdTools"},
        {CmdExportExcel, "CmdExportExcel"}, {CmdExportCSV, "CmdExportCSV"}, {CmdToolsGroup, "CmdToolsGroup"},
        {CmdActionsLog, "CmdActionsLog"},
    };
    const TRibbonMarkupElementList* list = TRibbonMarkupElementList::LookupListByResourceName("APPLICATION");
    ASSERT_NE(list, nullptr);
    for (const auto& [id, name] : constants) {
        TRibbonMarkupElement item;
        ASSERT_TRUE(list->TryGetItem(id, item)) << name;
        EXPECT_EQ(U8(item.Name), name);
    }
}

TEST(RibbonMarkupList, LookupIgnoresCaseAndFindsNothingForOtherNames)
{
    TRibbonMarkupElementList* list = TRibbonMarkupElementList::LookupListByResourceName("APPLICATION");
    ASSERT_NE(list, nullptr);
    for (const char* name : {"application", "Application", "aPPLICATIOn"})
        EXPECT_EQ(TRibbonMarkupElementList::LookupListByResourceName(name), list) << name;
    for (const char* name : {"", "APPLICATION_RIBBON", "APPLICATIO", "APPLICATION "})
        EXPECT_EQ(TRibbonMarkupElementList::LookupListByResourceName(name), nullptr) << name;
}

TEST(RibbonMarkupList, TryGetItemMissYieldsTheEmptyDescriptor)
{
    const TRibbonMarkupElementList* list = TRibbonMarkupElementList::LookupListByResourceName("APPLICATION");
    ASSERT_NE(list, nullptr);
    for (int id : {1, 0, -1, 28, 61000, 65152}) {
        SCOPED_TRACE(id);
        TRibbonMarkupElement out("CmdAbout", 3, 60004, 1, 2, 3);
        EXPECT_FALSE(list->TryGetItem(id, out));
        EXPECT_EQ(out, kEmpty);
    }
}

TEST(RibbonMarkupList, NewListsRegisterThemselvesAndBuildingAgainAddsNothing)
{
    TRibbonMarkupElementList* application = TRibbonMarkupElementList::LookupListByResourceName("APPLICATION");
    ASSERT_NE(application, nullptr);

    TRibbonMarkupElementList* first = TRibbonMarkupElementList::Create("UnitTestRibbon");
    first->Add(TRibbonMarkupElement("CmdOne", 2, 100, -1, -1, -1));
    TRibbonMarkupElementList* second = TRibbonMarkupElementList::Create("UNITTESTRIBBON");
    EXPECT_EQ(TRibbonMarkupElementList::LookupListByResourceName("unittestribbon"), first);
    EXPECT_NE(second, first);
    TRibbonMarkupElement item;
    EXPECT_TRUE(first->TryGetItem(2, item));
    EXPECT_EQ(U8(item.Name), "CmdOne");
    EXPECT_FALSE(second->TryGetItem(2, item));

    BuildApplicationRibbonMarkup();
    EXPECT_EQ(TRibbonMarkupElementList::LookupListByResourceName("APPLICATION"), application);
    EXPECT_EQ(application->Count(), 26);
}

TEST(RibbonStringTable, HoldsExactlyTheTextsOfTheRibbon)
{
    const std::pair<int, const char*> strings[] = {
        {60001, "Системни"},
        {60002, "Системни"},
        {60003, "Системни"},
        {60004, "Информация за \"Дравик Одитор Продажби\""},
        {60013, "И&зход"},
        {60022, "Таблици"},
        {60023, "Продажби"},
        {60024, "Продажби обобщено"},
        {60025, "Продажби обобщено"},
        {60026, "Обобщени данни за продажбите"},
        {60029, "Избор на база данни"},
        {60032, "Плащания"},
        {60033, "Плащания по продажби"},
        {60034, "Данни за плащанията по продажбите"},
        {60037, "Продажби детайлни"},
        {60038, "Продажби детайлни"},
        {60039, "Детайлни данни за продажбите"},
        {60042, "Сторнирани продажби"},
        {60043, "Сторнирани продажби"},
        {60046, "Анулирани продажби"},
        {60047, "Анулирани продажби"},
        {60050, "Номенклатури"},
        {60051, "Стоки"},
        {60052, "Стоки / услуги"},
        {60053, "Номенклатура със стоките и услугите"},
        {60056, "Клиенти / Доставчици"},
        {60057, "Клиенти / Доставчици"},
        {60058, "Номенклатура с данните за клиентите и доставчиците"},
        {60061, "Видове Операции "},
        {60062, "Видове Операции "},
        {60063, "Видове операции (типове документи)"},
        {60066, "Видове плащания"},
        {60067, "Видове плащания"},
        {60068, "Видове плащания дефинирани в системата"},
        {60071, "Търговски обекти"},
        {60072, "Търговски обекти"},
        {60073, "Търговски обекти (Складове) дефинирани в системата"},
        {60076, "Работни места"},
        {60077, "Работни места"},
        {60080, "Потребители"},
        {60081, "Потребители"},
        {60082, "Потребители дефинирани в системата"},
        {60085, "Потребителски роли"},
        {60086, "Потребителски роли"},
        {60089, "Потребителски права"},
        {60090, "Потребителски права"},
        {60091, "Потребителски права"},
        {60094, "Инструменти"},
        {60095, "Експорт в Ексел"},
        {60096, "Експорт в Ексел"},
        {60097, "Експорт на данните от текущо избраната справка във Ексел"},
        {60100, "Експорт в CSV"},
        {60101, "Експорт в CSV"},
        {60102, "Експорт на данните от текущо избраната справка във CSV"},
        {60105, "Инструменти"},
        {60106, "Лог на действията"},
    };
    for (const auto& [id, text] : strings) {
        QString value;
        EXPECT_TRUE(TryGetRibbonResourceString(id, value)) << id;
        EXPECT_EQ(U8(value), text) << id;
        EXPECT_EQ(U8(RibbonResourceString(id)), text) << id;
    }

    // Every text a descriptor names exists; image ids and unknown ids have no text.
    const TRibbonMarkupElementList* list = TRibbonMarkupElementList::LookupListByResourceName("APPLICATION");
    ASSERT_NE(list, nullptr);
    for (const TRibbonMarkupElement& item : list->Items())
        for (int id : {item.LabelTitleResourceID, item.LabelDescriptionResourceID, item.TooltipTitleResourceID,
                       item.TooltipDescriptionResourceID})
            if (id != -1) {
                EXPECT_FALSE(RibbonResourceString(id).isEmpty()) << U8(item.Name) << " " << id;
            }
    for (int id : {-1, 0, 60005, 60027, 60107, 61000}) {
        QString value = "stale";
        EXPECT_FALSE(TryGetRibbonResourceString(id, value)) << id;
        EXPECT_TRUE(value.isEmpty()) << id;
    }
}

} // namespace
