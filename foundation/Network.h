#pragma once
// The machine's connection state as the program sees it.

// False when the program's offline switch is set, when the system reports no connection, or when the
// system is set to work offline (logged once per run); true otherwise. Any thread.
bool IsInternetConnected();

// The download queue's last finding: set when its connection check found the machine online, cleared
// when it found it offline or noticed the offline switch; false at start. Any thread.
bool IsInternetOnline();
void SetInternetOnline(bool online);
