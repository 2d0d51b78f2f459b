#include "host/ticks.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

uint32_t tickCountMilliseconds() {
#ifdef _WIN32
  return (uint32_t)GetTickCount();
#else
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (uint32_t)((uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u);
#endif
}
