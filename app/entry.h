#pragma once
// The app's entry points for the front ends; no other includes, so that files with
// <windows.h> can use it (its STRICT macro clashes with our enumerators).
#include <string>
#include <vector>

int app_main(const std::vector<std::string>& args);  // args in cp1252; args[0] is the program
[[noreturn]] void start_run();                       // run_all, then the end of the process
void cancel_run();                                   // the user confirmed Abbrechen
