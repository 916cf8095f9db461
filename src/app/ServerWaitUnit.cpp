// The waits of auditor-export for its database (see ServerWaitUnit.h).
#include "ServerWaitUnit.h"

#include "app/TempOutputUnit.h"
#include "db/SqlDataManagerUnit.h"

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace {

using TClock = std::chrono::steady_clock;

// Milliseconds on the steady clock since an answer is awaited; -1: none is.
std::atomic<qint64> gSince{-1};
std::atomic<bool> gWatching{false};

qint64 NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now().time_since_epoch()).count();
}

constexpr qint64 kNoticeAfterMs = 1000;
constexpr auto kTick = std::chrono::milliseconds(200);

} // namespace

void LimitServerWaits(TSqlDataManager& manager, int seconds)
{
    if (seconds <= 0)
        return;
    TOdbcConnection& connection = manager.Connection();
    connection.SetQueryTimeout(seconds);
    if (manager.DbModel().DbType() != dbSqlite)
        return;
    std::vector<TOdbcConnectParam> params;
    for (const TOdbcConnectParam& p : connection.Params())
        if (p.Key.compare(QLatin1String("Timeout"), Qt::CaseInsensitive) != 0)
            params.push_back(p);
    params.push_back({QStringLiteral("Timeout"), QString::number(qint64(seconds) * 1000)});
    connection.SetParams(std::move(params));
}

TServerWaitWatch::TServerWaitWatch(int limitSeconds, bool onTerminal, std::function<void(const QString&)> say)
    : FLimit(limitSeconds), FOnTerminal(onTerminal), FSay(std::move(say))
{
    gSince = -1;
    gWatching = true;
    if (FLimit > 0 || FOnTerminal)
        FThread = std::thread([this] { Run(); });
}

TServerWaitWatch::~TServerWaitWatch()
{
    gWatching = false;
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FWake.notify_all();
    if (FThread.joinable())
        FThread.join();
}

void TServerWaitWatch::Expect()
{
    if (gWatching)
        gSince = NowMs();
}

void TServerWaitWatch::Idle() { gSince = -1; }

QString TServerWaitWatch::GiveUpText(int limitSeconds, const QString& detail)
{
    const QString text = QStringLiteral("the database gave no answer within %1 s (--timeout)").arg(limitSeconds);
    return detail.isEmpty() ? text : text + QStringLiteral(": ") + detail;
}

bool TServerWaitWatch::IsOverLimit(const QString& sqlState)
{
    // HYT00: the driver's own timeout; 57014: PostgreSQL's statement_timeout, which psqlODBC
    // sets from the statement's limit.
    return sqlState == QLatin1String("HYT00") || sqlState == QLatin1String("57014");
}

void TServerWaitWatch::Run()
{
    qint64 noticed = -1; // the wait already said on the terminal
    std::unique_lock lock(FMutex);
    while (!FWake.wait_for(lock, kTick, [this] { return FStop; })) {
        const qint64 since = gSince;
        if (since < 0)
            continue;
        const qint64 waited = NowMs() - since;
        if (FOnTerminal && since != noticed && waited >= kNoticeAfterMs) {
            noticed = since;
            FSay(FLimit > 0 ? QStringLiteral("waiting for the database (gives up after %1 s)").arg(FLimit)
                            : QStringLiteral("waiting for the database (no time limit; --timeout sets one)"));
        }
        if (FLimit > 0 && waited >= (qint64(FLimit) + kGraceSeconds) * 1000) {
            // The thread that waits is inside the driver and may never come back.
            FSay(GiveUpText(FLimit));
            RemoveTempOutputNow();
            std::_Exit(1);
        }
    }
}
