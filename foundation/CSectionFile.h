#pragma once
// A text file of named sections, read and written whole (see TextFile.h for the encoding). A section
// is a header line "[name]" followed by its body lines; every body is followed by one empty line
// before the next header. A body line that begins with "[" is stored behind the marker "%_BLANK_%",
// and every "%_BLANK_%" is removed from a body on reading. Names are matched literally and with case.
//
// Thread use: any thread. Operations on one file (by full path, without regard to case) are
// serialised within the process, so concurrent SetSection and AppendLine calls lose nothing.

#include <string>
#include <vector>

class CSectionFile {
public:
    CSectionFile() = default;
    explicit CSectionFile(const std::wstring& path) : m_path(path) {}

    // Stores the path; true when the file (or a folder of that name) exists.
    bool AssignPath(const std::wstring& path);

    // The whole text, with an empty line put before every line that begins with "[" and follows a
    // non-empty line. The default is not used: a file that cannot be read gives the empty text.
    std::wstring ReadText(const std::wstring& defaultText) const;
    // The body of [name]; empty when the section is absent. The default when the path is empty or
    // the file does not exist.
    std::wstring ReadSection(const std::wstring& name, const std::wstring& defaultText) const;
    // The body split at LF; without skipEmptyLines a body that ends with LF also gives a final
    // empty line.
    std::vector<std::wstring> ReadSectionLines(const std::wstring& name, bool skipEmptyLines) const;
    std::wstring ReadSectionValue(const std::wstring& name, const std::wstring& defaultText) const;
    // The body as a decimal number; -1 when it is missing or not a number.
    int ReadSectionInt(const std::wstring& name) const;

    // Replaces the body of [name], or appends the section, and rewrites the file. False when the
    // file exists but cannot be read (it is then left alone) or cannot be written.
    bool SetSection(const std::wstring& name, const std::wstring& text);
    // The lines joined with LF (no final LF).
    bool SetSectionLines(const std::wstring& name, const std::vector<std::wstring>& lines);
    bool SetSectionValue(const std::wstring& name, const std::wstring& text);
    bool SetSectionValue(const std::wstring& name, int value);
    // Adds a line at the end of the body (its empty lines kept).
    bool AppendLine(const std::wstring& name, const std::wstring& line);

private:
    std::wstring m_path;
};
