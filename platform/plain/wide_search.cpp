#include "platform/wide_search.h"

// No wide search on this processor: the mailbox engine cuts the lines one by one.
const WideSearch* wide_search() { return nullptr; }
