#pragma once
// Ribbon command descriptors: which string resources give each ribbon command its
// label and tooltip texts, grouped in one list per ribbon markup resource; the
// ribbon's string table; the command ids of the program's ribbon.

#include <QString>

#include <memory>
#include <vector>

// Command ids of the "APPLICATION" ribbon (1 is not used).
enum : int {
    CmdApplicationMenu = 2,
    CmdAbout = 3,
    CmdExit = 4,
    CmdReports = 5,
    CmdTableSalesGroup = 6,
    CmdSalesSummary = 7,
    CmdChooseDb = 8,
    CmdSalePayments = 9,
    CmdSalesDetail = 10,
    CmdSalesReturn = 11,
    CmdRevokedSales = 12,
    CmdTableNomenclatureGroups = 13,
    CmdItemsData = 14,
    CmdPartners = 15,
    CmdActivityTypes = 16,
    CmdPayTypes = 17,
    CmdStores = 18,
    CmdWorkplaces = 19,
    CmdUsers = 20,
    CmdUserRoles = 21,
    CmdUserRights = 22,
    CmdTools = 23,
    CmdExportExcel = 24,
    CmdExportCSV = 25,
    CmdToolsGroup = 26,
    CmdActionsLog = 27,
};

// One ribbon command: its markup name, id and the string resources of its texts
// (-1 where the command has no such text).
struct TRibbonMarkupElement {
    QString Name;
    int ID = -1;
    int LabelTitleResourceID = -1;
    int LabelDescriptionResourceID = -1;
    int TooltipTitleResourceID = -1;
    int TooltipDescriptionResourceID = -1;

    TRibbonMarkupElement() = default;
    TRibbonMarkupElement(QString pActionName, int pActionID, int pLabelTitleResourceID,
                         int pLabelDescriptionResourceID, int pTooltipTitleResourceID,
                         int pTooltipDescriptionResourceID);

    friend bool operator==(const TRibbonMarkupElement&, const TRibbonMarkupElement&) = default;
};

// The descriptors of one ribbon markup resource, in the order they were added.
// Lists exist only on the heap: Create registers the new list in the process-wide
// registry, which owns it until the program ends.
class TRibbonMarkupElementList {
public:
    static TRibbonMarkupElementList* Create(const QString& resourceName);

    // The first registered list with that resource name (case-insensitive), or nullptr.
    static TRibbonMarkupElementList* LookupListByResourceName(const QString& resourceName);

    const QString& ResourceName() const { return fResourceName; }
    void Add(const TRibbonMarkupElement& element) { fItems.push_back(element); }
    int Count() const { return static_cast<int>(fItems.size()); }
    const TRibbonMarkupElement& Item(int index) const { return fItems.at(static_cast<size_t>(index)); }
    const std::vector<TRibbonMarkupElement>& Items() const { return fItems; }

    // The descriptor with that command id; when there is none, out becomes an empty
    // descriptor (no name, every id -1) and the result is false.
    bool TryGetItem(int id, TRibbonMarkupElement& out) const;

    TRibbonMarkupElementList(const TRibbonMarkupElementList&) = delete;
    TRibbonMarkupElementList& operator=(const TRibbonMarkupElementList&) = delete;

private:
    explicit TRibbonMarkupElementList(QString resourceName);
    friend struct std::default_delete<TRibbonMarkupElementList>;
    ~TRibbonMarkupElementList() = default;

    QString fResourceName;
    std::vector<TRibbonMarkupElement> fItems;
};

// Builds the program's "APPLICATION" list (26 descriptors, ascending id). It runs by
// itself at program initialisation; further calls do nothing.
void BuildApplicationRibbonMarkup();

// The ribbon's string table: the text of a string resource, or an empty string when
// the table has no such id.
QString RibbonResourceString(int resourceId);
bool TryGetRibbonResourceString(int resourceId, QString& out);
