#include "foundation/Credential.h"

#include "foundation/CIniFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

class CredentialTest : public testing_support::TempFolderTest {};

const std::vector<std::wstring>& Passwords() {
    static const std::vector<std::wstring> passwords = {
        L"a",
        L"password",
        L"パスワード123",
        L" lead and trail ",
        L"\"quoted'",
        L"=;[main]#\\\r\n",
        L"\U0001F600 surrogate pair",
        std::wstring(L"nul\0inside", 10),
        std::wstring(300, L'z'),
    };
    return passwords;
}

bool IsUpperHex(const std::wstring& text) {
    return text.find_first_not_of(L"0123456789ABCDEF") == std::wstring::npos;
}

TEST_F(CredentialTest, EveryTextComesBackThroughTheIniFile) {
    std::srand(20240601);
    CIniFile ini(PathOf(L"velaplayer.ini"), L"download");
    for (const std::wstring& password : Passwords()) {
        SCOPED_TRACE(testing::PrintToString(password));
        const std::wstring scrambled = ScrambleCredential(password);
        EXPECT_TRUE(IsUpperHex(scrambled)) << testing::PrintToString(scrambled);
        EXPECT_EQ(UnscrambleCredential(scrambled), password);
        ASSERT_TRUE(ini.Write(L"", L"Password", scrambled));
        EXPECT_EQ(UnscrambleCredential(ini.ReadString(L"", L"Password", L"")), password);
    }
    EXPECT_EQ(ScrambleCredential(L""), L"");
    EXPECT_EQ(UnscrambleCredential(L""), L"");
    // The filler makes each scrambling of the same text look different.
    EXPECT_NE(ScrambleCredential(L"password"), ScrambleCredential(L"password"));
}

TEST_F(CredentialTest, TextsThatWereNotScrambledGiveTheEmptyText) {
    std::srand(7);
    const std::wstring valid = ScrambleCredential(L"パスワード");
    std::wstring lower = valid;
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(towlower(c));
    }
    EXPECT_EQ(UnscrambleCredential(lower), L"パスワード");

    std::vector<std::wstring> invalid = {
        L"password",
        L"0123456789",
        L"00000000",
        valid.substr(0, valid.size() - 1),
        valid + L"0",
        valid.substr(0, valid.size() - 6),
        valid.substr(0, 4) + L"G" + valid.substr(5),
        valid.substr(0, 4) + L"０" + valid.substr(5),
        std::wstring(valid).replace(6, 1, 1, L'\0'),
    };
    // Any one digit changed, in the seed, a filler, a unit or the check.
    for (size_t i = 0; i < valid.size(); ++i) {
        std::wstring changed = valid;
        changed[i] = changed[i] == L'0' ? L'1' : L'0';
        invalid.push_back(changed);
    }
    for (const std::wstring& text : invalid) {
        EXPECT_EQ(UnscrambleCredential(text), L"") << testing::PrintToString(text);
    }
}

} // namespace
