#include "text/Error.h"

namespace vo {

Error::~Error() = default;

const char* Error::what() const noexcept { return fMessage.c_str(); }

}  // namespace vo
