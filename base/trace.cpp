#include "base/trace.h"

void Trace(const char* /*format*/, ...) {}
