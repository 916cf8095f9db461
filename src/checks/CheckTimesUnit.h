#pragma once
// The checks of times of sales that cannot be or stand out: closed before opened, open too long, over midnight, invoiced before, in the future, outside opening hours: their catalogue entries and statements.

#include "CheckCatalogueUnit.h"

#include <span>

std::span<const TCheckDef> TimesChecks();
