#pragma once
// Root of every exception the network layer raises. Units declare their own
// classes (deriving from ENetException) in their own headers.

#include "rtl/Exception.h"

namespace net {
RTL_DECLARE_EXCEPTION(ENetException, rtl::Exception);
}  // namespace net
