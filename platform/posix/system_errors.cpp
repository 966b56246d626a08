#include <cerrno>

#include "platform/failure_reasons.h"

void note_failure() { note_failure(SystemError{errno, 0}); }
