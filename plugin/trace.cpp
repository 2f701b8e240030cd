#include "plugin/trace.h"

void Trace(const char* /*format*/, ...) {}
