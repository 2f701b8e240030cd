#pragma once
#include <string>

// The folder of the running test executable (where the plug-in and the stand-ins are built).
std::string BinDir();
// A new empty folder under the system's temporary folder; removed by the caller if it likes.
std::string MakeTempDir(const char* prefix = "tolvane");
// Writes a whole file; false on failure.
bool WriteFileText(const std::string& path, const std::string& text);
