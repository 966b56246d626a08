#include "platform/machine.h"

#include <thread>

int processor_count() {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : static_cast<int>(count);
}
