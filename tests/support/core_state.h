#pragma once
// Fresh global state between tests and fuzz inputs; no test framework needed.
#include "app/engine_host.h"
#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "mailbox/queued_files.h"
#include "mailbox/splitter.h"
#include "mailbox/writer.h"
#include "message/header_fields.h"
#include "tests/support/fake_ui.h"

inline void reset_core_state() {
    options = Options{};
    settings = Settings{};
    reset_run_state();
    selection = SelectionState{};
    splitter = SplitterState{};
    fake_ui = FakeUi{};
    reset_held_line();
    end_writer_threads();
    set_up_engine();
    engine_settings.writers = 1;  // a test that wants writer threads asks for them
}
