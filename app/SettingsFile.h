#pragma once
// velaplayer.ini for the main settings record: reading with the version upgrade steps, writing at the
// close. UI thread.

#include "foundation/AppSettings.h"

#include <windows.h>

// Runs the version upgrade steps (only in an instance that may save, recording the version at once so
// that they never run twice), then reads every key of sections "main" and "info"; the log shows
// "[デバッグモード]" and "[オフラインモード]" when those modes are on.
void LoadSettings(AppSettings& settings);
// Writes every key, LastBootVer and FirstBoot=0, unless the record may not be saved. The window
// geometry is taken from the live windows when they are given.
void SaveSettings(AppSettings& settings, HWND mainWindow = nullptr, HWND infoWindow = nullptr);
// Empties every text of the record.
void ClearSettings(AppSettings& settings);
// Whether every stored key has the same value in both records.
bool SameStoredValues(const AppSettings& a, const AppSettings& b);
