// The checks of operators and master data: work by operators outside their active days, items sold outside theirs, items and partners changed in the period.
#include "CheckPeopleUnit.h"

std::span<const TCheckDef> PeopleChecks() { return {}; }
