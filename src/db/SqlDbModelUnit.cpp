#include "SqlDbModelUnit.h"

namespace {
// The SQL Anywhere rows come first, in their historical order; the two engines that make
// the program runnable without SQL Anywhere are reached through the OLE DB provider for
// ODBC, which is what a provider name means for them.
constexpr TProviderInfo kProviders[] = {
    {u"Adaptive Server Anywhere 9.0", dbSybase, u"ASAProv.90"},
    {u"SQL Anywhere 10", dbSybase, u"SAOLEDB.10"},
    {u"SQL Anywhere 11", dbSybase, u"SAOLEDB.11"},
    {u"SQLite3", dbSqlite, u"MSDASQL"},
    {u"PostgreSQL Unicode", dbPostgres, u"MSDASQL"},
};
} // namespace

const TProviderInfo* SupportedProviders(int& count)
{
    count = int(std::size(kProviders));
    return kProviders;
}

TSqlDBModel::TSqlDBModel(const QString& aDsn, const QString& aProviderDescr) : DSN(aDsn)
{
    SetProviderDescr(aProviderDescr);
}

bool TSqlDBModel::SetProviderDescr(const QString& provDescr)
{
    fProviderDescr = provDescr;
    for (const TProviderInfo& p : kProviders) {
        if (provDescr == QStringView(p.Description)) { // exact, case-sensitive
            fDbType = p.DbType;
            fOleProvider = QString::fromUtf16(p.OleProvider);
            return true;
        }
    }
    fDbType = dbNone;
    return false;
}

void TSqlDBModel::CopyFrom(const TSqlDBModel& another)
{
    DSN = another.DSN;
    UserName = another.UserName;
    Password = another.Password;
    SetProviderDescr(another.ProviderDescr());
}
