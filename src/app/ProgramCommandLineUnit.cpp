// The command line of auditor answered without a window (see ProgramCommandLineUnit.h).
#include "app/ProgramCommandLineUnit.h"

#include <cstdio>
#include <cstring>

const char* const kAuditorUsage =
    "употреба: auditor [ИЗТОЧНИК ПАРОЛА]\n"
    "          auditor --help | --version\n"
    "\n"
    "Дравик Одитор Продажби: прозорецът с отчетите на базата данни на търговска система с\n"
    "фискални устройства, само за четене, през ODBC източник на данни (SQL Anywhere, SQLite\n"
    "или PostgreSQL).\n"
    "\n"
    "Без аргументи програмата започва с избора на източник на данни. ИЗТОЧНИК ПАРОЛА (двата\n"
    "заедно) я свързват веднага с ODBC източника ИЗТОЧНИК като потребител dba с паролата\n"
    "ПАРОЛА; ако това не стане, тя опитва записаната парола (Bulgarian.lng до програмата) и\n"
    "после пита за потребител и парола.\n"
    "\n"
    "  -h, --help     показва този текст\n"
    "  --version      показва версията\n"
    "\n"
    "Отчетите без прозорец, във файл: auditor-export --help.\n"
    "Изходен код: 0 край на работата, 1 програмата не може да започне.\n";

std::optional<int> AnswerWithoutWindow(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kAuditorUsage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("auditor " AUDITOR_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return std::nullopt;
}
