#include "TestSupport.h"

QString TestDataDir() { return QStringLiteral(AUDITOR_TEST_DATA_DIR); }
