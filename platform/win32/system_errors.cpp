#include <cerrno>
#include <cstdlib>

#include "platform/failure_reasons.h"

// The C runtime keeps the system's own code of its last failed call beside errno.
void note_failure() { note_failure(SystemError{errno, static_cast<std::uint32_t>(_doserrno)}); }
