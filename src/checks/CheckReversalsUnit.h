#pragma once
// The checks of reversals made days later, worth more than the sale, repeated, without their sale or by another operator: their catalogue entries and statements.

#include "CheckCatalogueUnit.h"

#include <span>

std::span<const TCheckDef> ReversalsChecks();
