#pragma once
// Shared helpers of the test programs.

#include <QString>

// Directory with the test databases, their odbc.ini and the generator's expected.json.
QString TestDataDir();
