// The display and the boxes for unit tests: nothing on screen, answers set by the test.
#include "tests/support/fake_ui.h"

#include "app/entry.h"
#include "ui/dialogs.h"
#include "ui/progress.h"

FakeUi fake_ui;

void set_bytes_per_percent(double value) { fake_ui.bytes_per_percent = value; }
void show_names(const std::string& source, const std::string& target) {
    if (!source.empty()) fake_ui.source = source;
    if (!target.empty()) fake_ui.target = target;
}
void show_progress(std::uint64_t bytes) { fake_ui.progress_bytes += bytes; }
void pump_one_message() {
    ++fake_ui.pumps;
    if (fake_ui.on_pump) fake_ui.on_pump();
}
int run_progress_window(bool) { return 0; }
void show_usage_box(const std::string& text) { fake_ui.boxes.push_back(text); }
void show_error_box(const std::string& text) { fake_ui.boxes.push_back(text); }
bool ask_yes_no(const std::string& text) {
    fake_ui.boxes.push_back(text);
    return fake_ui.answer_yes;
}
