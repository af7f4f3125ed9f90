#pragma once
// The routing of the UI thread's messages before they are dispatched: the keyboard-shortcut tables
// of the active window, then the dialog navigation of the tool windows.

#include <windows.h>

// True when one accelerator table translated the message.
bool TranslateAppAccelerators(MSG& message);
// True when dialog navigation consumed the message.
bool RouteDialogMessage(MSG& message);
