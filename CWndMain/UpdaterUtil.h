#pragma once
// Small helpers of the updater: its command line, its own folder, text conversions for the
// exception type and the shell's folder rename.
//
// Thread use: any thread.

#include <windows.h>

#include <string>
#include <vector>

// The process's arguments without the program path; empty when there are none.
std::vector<std::wstring> GetProgramArguments();
// The rest of the last argument that begins with prefix (case-sensitive); defaultValue when none does.
std::wstring GetCommandLineValue(const std::wstring& prefix, const std::vector<std::wstring>& args,
                                 const std::wstring& defaultValue);
// The running program's full path; empty when it cannot be read.
std::wstring GetModuleFilePath();
// Drive and folder of path without one trailing backslash or slash.
std::wstring GetDirectoryPathNoSlash(const std::wstring& path);
// The updater's own folder, without a trailing backslash.
std::wstring GetModuleDirectory();
std::wstring ToWideString(const std::string& text);
std::wstring ToWideString(const std::wstring& text);
std::string ToNarrowString(const std::wstring& text);
// SHFileOperationW with FO_RENAME; 0 on success.
int RenamePath(const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags, HWND owner);
