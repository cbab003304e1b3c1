#include <ctime>

#include "platform/platform.h"

namespace kadrel::platform {

namespace {

int64_t systemSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

int64_t (*wallClock)() = systemSeconds;

int64_t nowSeconds() { return wallClock(); }

}  // namespace kadrel::platform
