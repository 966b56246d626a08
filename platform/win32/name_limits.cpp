#include "platform/name_limits.h"

#include "platform/win32/wide.h"

std::size_t name_units(std::string_view text) { return wide_text(text).size(); }
