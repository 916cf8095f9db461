#pragma once
// The checks of receipt and document numbering: missing, doubled and back-in-time numbers and UNPs not of their form: their catalogue entries and statements.

#include "CheckCatalogueUnit.h"

#include <span>

std::span<const TCheckDef> NumberingChecks();
