#include "banner/GIFErrors.h"

namespace banner {

void throwInvalidData() { throw EGIFDecodeError(gifmsg::kInvalidData); }

void throwStreamRead() { throw rtl::EReadError(gifmsg::kStreamRead); }

}  // namespace banner
