#pragma once
// The machine's connection state as the program sees it.

// False when the program's offline switch is set, when the system reports no connection, or when the
// system is set to work offline (logged once per run); true otherwise. Any thread.
bool IsInternetConnected();
