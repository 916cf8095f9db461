#pragma once
// The checks of sales whose summary, lines, VAT and payments do not add up, and lines or payments without their sale: their catalogue entries and statements.

#include "CheckCatalogueUnit.h"

#include <span>

std::span<const TCheckDef> SumsChecks();
