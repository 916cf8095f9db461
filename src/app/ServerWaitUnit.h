#pragma once
// How long auditor-export waits for its database: the limit of --timeout on every statement
// and on SQLite's wait for a file that another process has locked, the notice on a terminal
// while an answer is awaited, and the watchdog that ends the run when the limit has passed
// and not even the statement's cancel was answered.

#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TSqlDataManager;

// Puts `seconds` (0: none) on every statement of the manager's connection and, on SQLite,
// on its wait for a locked file (the driver's Timeout option; without it the driver waits
// as long as the lock is held). Before the connection is opened.
void LimitServerWaits(TSqlDataManager& manager, int seconds);

// Watches the stretches in which the run waits for the database, from Expect to Idle. On a
// terminal it says so on standard error after a second without an answer, with the limit.
// When the limit has passed by kGraceSeconds more (the driver did not give the statement up:
// a stopped server cannot even take its cancel), it says why, removes the temporary output
// and ends the program with status 1. One watch at a time; Expect and Idle without one do
// nothing.
class TServerWaitWatch {
public:
    static constexpr int kGraceSeconds = 3;

    // `say` writes one line on standard error.
    TServerWaitWatch(int limitSeconds, bool onTerminal, std::function<void(const QString& line)> say);
    ~TServerWaitWatch();
    TServerWaitWatch(const TServerWaitWatch&) = delete;
    TServerWaitWatch& operator=(const TServerWaitWatch&) = delete;

    // An answer is awaited from now; each call starts the clock again (a sign of life).
    static void Expect();
    // No answer is awaited.
    static void Idle();

    // What the run says when the limit has passed; `detail` (one line) follows when given.
    static QString GiveUpText(int limitSeconds, const QString& detail = {});
    // Whether a failed statement's SQLSTATE says that it was given up at its limit.
    static bool IsOverLimit(const QString& sqlState);

private:
    void Run();

    int FLimit;
    bool FOnTerminal;
    std::function<void(const QString&)> FSay;
    std::mutex FMutex;
    std::condition_variable FWake;
    bool FStop = false;
    std::thread FThread;
};
