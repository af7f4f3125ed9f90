#pragma once
// Names of the files the client saves for a video: templates with placeholders, made safe for the
// file system and kept inside the save folder.
//
// Placeholders: %title%, %thread% (the video ID), and the date of the comments (the past-log time, or
// the time of the download for current comments): %year% (4 digits), %year2%, %month2%, %day2%,
// %hour2%, %minute2%, %second2% (2 digits each), %month%, %day%, %hour%, %minute%, %second% (no
// padding). Unknown placeholders stay as written.
//
// Thread use: any thread.

#include <windows.h>

#include <string>

struct SaveNameValues {
    std::wstring title;
    std::wstring videoId;
    SYSTEMTIME time{}; // local time of the date placeholders
};

// The template with every known placeholder replaced by its value, taken literally.
std::wstring ExpandNameTemplate(const std::wstring& nameTemplate, const SaveNameValues& values);

// One path component: the characters Windows forbids in a name (\ / : * ? " < > | and controls) become
// their full-width forms, trailing dots and blanks are dropped, a reserved device name (also with an
// extension, as "con.txt") gets a leading "_", and an empty result becomes "_".
std::wstring MakeSafeFileName(const std::wstring& name);

// The folder for a video: folder, then the expanded folder template as sub-folders. The template's own
// "\" and "/" separate sub-folders; values cannot (they are made safe first); ".", ".." and empty
// components are dropped, so the result never leaves folder. Components are shortened so that the
// result stays within kMaxFolderPath characters, those that no longer fit are dropped. No trailing
// backslash.
std::wstring BuildSaveFolder(const std::wstring& folder, const std::wstring& folderTemplate,
                             const SaveNameValues& values);

// folder + "\" + the expanded, safe name + extension, the name shortened so that the whole path,
// plus reserve characters for a suffix the caller adds (a partial download's), stays within
// MAX_PATH - 1 characters (the extension and the folder are kept). Empty when even a name of one
// character does not fit.
std::wstring BuildSaveFilePath(const std::wstring& folder, const std::wstring& nameTemplate,
                               const SaveNameValues& values, const std::wstring& extension, size_t reserve = 0);

// The longest folder path CreateDirectoryW accepts (room for an 8.3 name is kept).
const size_t kMaxFolderPath = MAX_PATH - 12 - 1;

// Creates the folder and its missing parents; true when the folder exists afterwards (also when it
// existed before). False for an empty path or when a file stands in the way.
bool CreateFolderPath(const std::wstring& path);

// The local time of a time in seconds since 1970-01-01 00:00 UTC; the current local time for 0 or less.
SYSTEMTIME LocalTimeFromUnixTime(long long seconds);
