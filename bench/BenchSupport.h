#pragma once
// What the benchmark programs share: a steady clock in seconds, and the end of a run that
// cannot go on (its reason on standard error, exit status 2).

#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>

inline double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] inline void FailRun(const char* program, const QString& message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.toUtf8().constData());
    std::fflush(stderr);
    std::_Exit(2);
}
