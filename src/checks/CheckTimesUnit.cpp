// The checks of times of sales that cannot be or stand out: closed before opened, open too long, over midnight, invoiced before, in the future, outside opening hours.
#include "CheckTimesUnit.h"

std::span<const TCheckDef> TimesChecks() { return {}; }
