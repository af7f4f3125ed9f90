#pragma once
// Path and file helpers. Paths are wide texts with backslashes.

#include <string>
#include <vector>

// The file name with its extension; for a folder path without a trailing backslash its last
// component; empty when the path ends with a backslash.
std::wstring GetFileName(const std::wstring& path);
// The extension with its dot; empty when there is none.
std::wstring GetFileExtension(const std::wstring& path);
// Drive and folder with a trailing backslash.
std::wstring GetDirectoryPath(const std::wstring& path);
// The path with the extension appended unless it already ends in it (compared lower-cased).
std::wstring AddExtension(const std::wstring& path, const std::wstring& extension);
std::wstring RemoveExtension(const std::wstring& path);
// Without one trailing "\" or "/".
std::wstring RemoveTrailingSlash(const std::wstring& path);

// True when the path's attributes can be read (a file or a folder).
bool FileExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);

// The program's own path, and its folder (no trailing backslash) and archive folder (folder + "\archive").
std::wstring GetProgramPath();
std::wstring GetProgramFolder();
std::wstring GetArchiveFolder();

// The full path of path taken relative to baseFolder ("." and ".." resolved; an empty base means the
// current folder); an absolute path stays itself. An empty path gives an empty text when
// emptyStaysEmpty is set, else the base. The current folder is not changed.
std::wstring GetAbsolutePath(const std::wstring& baseFolder, const std::wstring& path, bool emptyStaysEmpty);
// ".\" followed by the rest when path lies inside baseFolder, that is begins with it followed by a
// backslash or the end (an empty base means the current folder; the drive letter's case does not
// matter, the rest is compared exactly); otherwise the path unchanged. Empty stays empty.
std::wstring MakeRelativePath(const std::wstring& path, const std::wstring& baseFolder);

// Appends, in listing order, the names (or folder + "\" + name) of the folder's entries that match
// pattern, folders only when includeFolders is set. With recursive, every sub-folder is searched too
// and several patterns may be separated by ";". False when the first lookup finds nothing or fails.
bool EnumerateFiles(const std::wstring& folder, const std::wstring& pattern, std::vector<std::wstring>& out,
                    bool fullPaths, bool includeFolders, bool recursive);

// The ".jpg" companion of a media file (the thumbnail saved beside it).
std::wstring MakeJpgPath(const std::wstring& mediaPath);
// The full path of the last file of the folder that has a movie extension and whose name holds the
// video ID of name (not as part of a longer number), or its base name when name holds no video ID;
// empty when there is none or when name or folder is empty. name may also be a watch URL.
std::wstring FindRelatedMovieFile(const std::wstring& name, const std::wstring& folder);

// The system's message text for the last error; empty when there is none.
std::wstring GetLastErrorText();
