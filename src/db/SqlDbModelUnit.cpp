#include "SqlDbModelUnit.h"

#include "DbEngineUnit.h"

#include <span>

TSqlDBModel::TSqlDBModel(const QString& aDsn, const QString& aProviderDescr) : DSN(aDsn)
{
    SetProviderDescr(aProviderDescr);
}

bool TSqlDBModel::SetProviderDescr(const QString& provDescr)
{
    fProviderDescr = provDescr;
    int count = 0;
    const TProviderInfo* providers = SupportedProviders(count);
    for (const TProviderInfo& p : std::span(providers, size_t(count))) {
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
