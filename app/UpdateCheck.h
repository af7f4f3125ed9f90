#pragma once
// The check for a newer release: a worker thread reads the version page named in the updater's
// settings file (kept in the archive folder), asks the user at most once a day, and starts the
// updater from a fresh copy of its folder.

#include <string>

// Starts the check on a worker thread; nothing when the settings switch it off or the player is offline.
void StartUpdateCheck();
// Whether the page's version text (without surrounding blanks and line breaks) is newer than the
// running one, compared as texts as the updater does.
bool IsNewerVersion(const std::wstring& latest, const std::wstring& running);
// Copies the updater's folder from the archive into the program folder and starts it with
// "ver=" and "dir="; false when that fails.
bool StartUpdater();
