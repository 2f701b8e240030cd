#pragma once
// The thread that performs one burn: fills the burn job from the dialog and the playlist, opens
// the recorder, burns, shows the outcome and then tells the dialog the burn has ended.

#include <windows.h>

#include <cstdint>
#include <string>

// Thread procedure; its argument is the BurnDialog that started it. Returns 0.
DWORD WINAPI BurnWorker(LPVOID burnDialog);

// "QCD" and four lower-case hexadecimal digits from a tick count (0000 to fffe).
std::string VolumeLabelFromTicks(DWORD ticks);
// The recorder's name in a drive-box label "X: NAME": everything after the first three characters.
std::string RecorderNameFromLabel(const std::string& label);
