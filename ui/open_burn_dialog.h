#pragma once
// The burn dialog's whole life on the worker thread: the check that there is something to burn,
// the dialog and its message loop, and the recorder released once it has closed.

// Returns when the burn dialog has closed (at once when nothing is chosen or shutdown has begun).
void OpenBurnDialog();
