#pragma once
// The extraction primitive of the service's texts.

#include <string>

// The text between the first startMarker and the next endMarker after it; empty when the start marker
// is missing or no end marker follows it.
std::wstring GetStringBetween(const std::wstring& text, const std::wstring& startMarker, const std::wstring& endMarker);
