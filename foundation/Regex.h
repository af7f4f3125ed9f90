#pragma once
// Wide-string regular expressions (Boost.Regex, default Perl syntax: "." also matches a line end,
// "^" and "$" match at every line). A faulty pattern is logged once and counts as no match.

#include <string>
#include <vector>

// The first match anywhere; out holds the whole match, then every group (empty for groups that
// took no part).
bool RegexSearch(const std::wstring& text, const std::wstring& pattern, std::vector<std::wstring>& out);

// The whole text matches.
bool RegexMatch(const std::wstring& text, const std::wstring& pattern);

// Replaces every match; the format uses "$1"-style references. A bad pattern leaves the text
// unchanged and gives false; otherwise true (also when nothing matched).
bool RegexReplace(std::wstring& text, const std::wstring& pattern, const std::wstring& format);

// Appends the given group of every match, in order, skipping empty ones.
void RegexGrep(int group, const std::wstring& text, const std::wstring& pattern, std::vector<std::wstring>& out);

// Group n of the first match (0 the whole match); empty when there is none.
std::wstring GetRegexGroup(const std::wstring& pattern, const std::wstring& text, int n);

// The text with every regular-expression metacharacter escaped, for use as a literal inside a pattern.
std::wstring RegexEscape(const std::wstring& text);
