#pragma once
// The plug-in's debug trace. This build discards every line: calling it has no effect.

void Trace(const char* format, ...);
