#pragma once
// Text helpers over wide strings, and the conversions at the edges (ANSI code page, UTF-8).

#include <string>
#include <vector>

// Replaces every occurrence of from by to, left to right, never searching inside an inserted value.
// An empty from leaves the text unchanged.
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);

// Splits at any of the delimiter characters. With dropEmpty, empty pieces are dropped; without it
// they stay, except an empty last piece.
std::vector<std::wstring> Split(const std::wstring& text, const std::wstring& delimiters, bool dropEmpty);

std::wstring JoinStrings(const std::vector<std::wstring>& texts, const std::wstring& separator);

// Erases from the first start marker through the next end marker; false (text unchanged) when
// either is missing.
bool EraseBetween(std::wstring& text, const std::wstring& startMarker, const std::wstring& endMarker);

std::wstring ToLower(const std::wstring& text);
// The decimal integer value of the whole text (an optional sign and digits); 0 when it is none.
int ToIntOrZero(const std::wstring& text);
// The value of a hexadecimal digit (either case); -1 for any other character.
int HexDigitValue(wchar_t c);

bool ContainsString(const std::vector<std::wstring>& texts, const std::wstring& text);
// Removes every element equal to an earlier one, keeping the order.
void RemoveDuplicateStrings(std::vector<std::wstring>& texts);

// Removes one leading and one trailing "/" when the text is longer than one character and has both.
std::wstring TrimSlashes(const std::wstring& text);
std::wstring EncloseInSlashes(const std::wstring& text);

std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// Splits by the platform's command-line rules and drops the first word (the program).
std::vector<std::wstring> SplitCommandLine(const std::wstring& text);

// The rest of the last argument that begins with prefix; defaultValue when none does.
std::wstring GetArgValue(const std::vector<std::wstring>& args, const std::wstring& prefix,
                         const std::wstring& defaultValue);
// The same, but the first matching argument wins (the command-line protocol's rule).
std::wstring GetArgValueFirst(const std::vector<std::wstring>& args, const std::wstring& prefix,
                              const std::wstring& defaultValue);
