#include "mailbox/engine.h"

EngineSettings engine_settings;
EngineHost engine_host;
