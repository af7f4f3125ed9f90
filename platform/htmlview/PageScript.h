#pragma once
// What the page does with a script when there is no script engine: the text is checked as a script
// would be parsed (brackets and strings closed), and the one statement the program sends to change
// the page, document.body.insertAdjacentHTML('<where>', '<html>'), is carried out on the document.
//
// Thread use: one thread at a time.

#include "platform/htmlview/HtmlDocument.h"

#include <string>

// False when a string literal, comment, or (), [] or {} pair is left open or closed out of turn.
bool IsScriptWellFormed(const std::wstring& text);

// Carries out each document.body.insertAdjacentHTML call with two string literals found in the text;
// returns how many changed the document.
int ApplyPageScript(HtmlDocument& document, const std::wstring& text);

// The value of a JavaScript string literal starting at text[at] (a quote); false when unterminated.
// next is the index after the closing quote.
bool ReadScriptString(const std::wstring& text, size_t at, std::wstring& value, size_t& next);
