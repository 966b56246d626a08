// Placeholder bodies until the terminal front end lands.
#include "app/entry.h"
#include "ui/dialogs.h"
#include "ui/progress.h"

void set_bytes_per_percent(double) {}
void show_names(const std::string&, const std::string&) {}
void show_progress(std::uint64_t) {}
void pump_one_message() {}
int run_progress_window(bool) { start_run(); }
void show_usage_box(const std::string&) {}
void show_error_box(const std::string&) {}
bool ask_yes_no(const std::string&) { return true; }

int main(int argc, char** argv) { return app_main(std::vector<std::string>(argv, argv + argc)); }
