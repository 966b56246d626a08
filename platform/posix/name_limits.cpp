#include "platform/name_limits.h"

#include "platform/text.h"

std::size_t name_units(std::string_view text) { return external_text(text).size(); }
