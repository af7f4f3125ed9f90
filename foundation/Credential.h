#pragma once
// Reversible scrambling of the account password for storage as an ini value. It hides the password
// from a casual look at the file; it is not encryption.
//
// Format: upper-case hexadecimal digits only, so the text is safe as an ini value (no blanks, quotes
// or line breaks): a random 16-bit seed (4 digits), then for each UTF-16 unit of the text a random
// filler byte (2 digits) and the unit XOR the running key (4 digits), then a 16-bit check value
// (4 digits). The key starts at the seed and, before each unit, becomes key * 0x6D2B + filler + 1
// (mod 0x10000). The check starts at the seed and becomes check * 31 + unit (mod 0x10000) per unit.
// The empty text is scrambled to the empty text.

#include <string>

// The seed and fillers come from rand(); callers seed it (srand) once.
std::wstring ScrambleCredential(const std::wstring& text);

// The text that ScrambleCredential was given; the empty text for anything that is not such a text
// (wrong length, a character that is not a hexadecimal digit, a wrong check value).
std::wstring UnscrambleCredential(const std::wstring& text);
