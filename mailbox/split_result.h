#pragma once

enum class SplitResult {
    MESSAGE_DONE = -5,
    END_OF_FILE = -6,
    STOP_AFTER_MATCH = -7,
    DIRECTORY_ERROR = -8,
    UNKNOWN_FORMAT = -9,
    OPEN_FAILED = -10,
    STOP_AFTER_CREATE_ERROR = -11,
    DIRECTORY_FULL = -12,
    STOP_AFTER_WRITE_ERROR = -13,
    FILE_TOO_LARGE = -14,
    CANCELLED = -15,
};
