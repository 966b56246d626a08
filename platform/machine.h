#pragma once

int processor_count();  // the processors this program may run on; 1 when unknown
