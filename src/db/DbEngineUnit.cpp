#include "DbEngineUnit.h"

#include <iterator>

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
