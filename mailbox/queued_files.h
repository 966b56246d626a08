#pragma once
#include <cstddef>
#include <optional>
#include <string>

#include "mailbox/split_result.h"
#include "mailbox/write_queue.h"

// Message files handed to writer threads, settled on this thread in message order with the
// texts, questions and counts of a file written here. Each function's result is the run's
// stop (the user said no) when there is one.
bool writing_on_threads(const std::string& directory);  // else the message is written here
std::optional<SplitResult> hand_over(WriteJob job);
std::optional<SplitResult> settle_queued_files();  // waits for every file handed over
WriteBlock spare_block();          // for the next message, when the last one went in its block
void end_writer_threads();         // after settle_queued_files; the next hand_over starts anew
