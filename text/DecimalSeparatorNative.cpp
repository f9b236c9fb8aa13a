#include "text/DecimalNumber.h"

namespace vo {

// Outside Windows there is no user number format to consult.
char16_t SystemDecimalSeparator() { return u'.'; }

}  // namespace vo
