#pragma once
// The supported database engines and the driver descriptions that select them.

#include "SqlDbModelUnit.h"

// One row of the table of supported driver descriptions.
struct TProviderInfo {
    const char16_t* Description;
    TDbType DbType;
    const char16_t* OleProvider;
};
// The supported driver descriptions, in the order they are matched.
const TProviderInfo* SupportedProviders(int& count);
