// The operating system's millisecond tick count since start-up.
#pragma once

#include <stdint.h>

// Wraps after about 49.7 days, as the 32-bit system counters do.
uint32_t tickCountMilliseconds();
