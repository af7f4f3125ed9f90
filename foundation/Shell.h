#pragma once
// Shell services: dropped files, shortcuts, starting programs and URLs, and file operations.

#include <windows.h>
#include <shellapi.h>

#include <string>

// The path of dropped file number index.
std::wstring GetDroppedFileName(HDROP drop, UINT index);
// The target path of a ".lnk" shortcut; empty when it cannot be read.
std::wstring GetShortcutTarget(const std::wstring& shortcutPath);

// Opens a URL outside the program: with the configured browser command line ("%path%" the browser,
// quoted when it holds a blank; "%url%" the URL), or through the shell's default handler when no
// browser is configured. True when the start succeeded.
bool RunUserCommand(const std::wstring& url);
// Splits the text into program (quoted or not) and arguments and opens the program through the shell.
bool ExecuteCommandLine(const std::wstring& commandLine);

// The shell's copy and delete (SHFileOperationW with FOF_... flags); 0 on success.
int CopyPath(const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags, HWND owner);
int DeletePath(const std::wstring& path, FILEOP_FLAGS flags, HWND owner);

// Moves to the recycle bin, silently, every file and folder beside path whose name holds the base name
// of path (the file itself included), logging each. When the base name holds a video ID, a name that
// holds another video ID is left (the files of sm123 are not those of sm12). False when a removal
// fails, and, deleting nothing, when the base name is empty or holds a wildcard (the mask would take
// the whole folder).
bool DeleteRelatedFiles(const std::wstring& path);
// DeleteRelatedFiles of folder + "\" + name; false for an empty name or an empty folder.
bool DeleteRelatedFilesInFolder(const std::wstring& name, const std::wstring& folder);

bool RenameFile(const std::wstring& oldPath, const std::wstring& newPath);
