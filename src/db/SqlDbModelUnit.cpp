// The connection descriptor: type and provider from the driver description.
#include "SqlDbModelUnit.h"

#include "DbEngineUnit.h"

TSqlDBModel::TSqlDBModel(const QString& aDsn, const QString& aProviderDescr) : DSN(aDsn)
{
    SetProviderDescr(aProviderDescr);
}

bool TSqlDBModel::SetProviderDescr(const QString& provDescr)
{
    fProviderDescr = provDescr;
    const TDbDriverMatch match = FindDbDriver(provDescr);
    if (match.Engine) {
        fDbType = match.Engine->DbType;
        fOleProvider = QString::fromUtf16(match.Driver->OleProvider);
        return true;
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
