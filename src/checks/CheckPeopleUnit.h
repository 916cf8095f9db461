#pragma once
// The checks of operators and master data: work by operators outside their active days, items sold outside theirs, items and partners changed in the period: their catalogue entries and statements.

#include "CheckCatalogueUnit.h"

#include <span>

std::span<const TCheckDef> PeopleChecks();
