#pragma once
// The mailbox engine's settings and host, from the options, the settings file and the run.
void set_up_engine();  // after the settings file is loaded, before the first mailbox
