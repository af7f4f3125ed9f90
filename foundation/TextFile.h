#pragma once
// Whole text files as the program stores them: UTF-16LE with the mark FF FE and CR LF line ends on
// disk, LF alone in memory. Files without the mark are read in the ANSI code page.

#include <cstddef>
#include <string>

// Clears text, then reads the file. True when the resulting text is not empty.
bool ReadTextFile(const std::wstring& path, std::wstring& text);

// Writes the text as UTF-16LE with the mark, each LF as CR LF (a CR LF already in the text stays
// one line end). The text goes to a temporary file in the same folder that then replaces the file,
// so a failed or interrupted write leaves the old file whole. True when the file was replaced.
bool WriteTextFile(const std::wstring& path, const std::wstring& text);

// Writes the bytes as they are, through a temporary file in the same folder that then replaces the
// file, as WriteTextFile does. True when the file was replaced.
bool WriteFileReplacing(const std::wstring& path, const void* data, size_t size);

// Creates the file with the UTF-16LE mark and then the text as it is (no line-end conversion) when no
// file or folder of that name exists; the profile functions then keep the file in UTF-16, where a new
// file of theirs would be in the ANSI code page. True when the file exists afterwards.
bool CreateUtf16FileIfMissing(const std::wstring& path, const std::wstring& text = std::wstring());

enum class TextFileStatus {
    Read,
    NotFound,
    // The file exists but could not be read (in use, a folder, no access, a read error).
    Failed,
};

// ReadTextFile for callers that rewrite the file: they must tell a missing file from one that
// exists but cannot be read.
TextFileStatus ReadTextFileChecked(const std::wstring& path, std::wstring& text);
