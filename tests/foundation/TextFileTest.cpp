#include "foundation/TextFile.h"

#include "foundation/Handles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

namespace {

class TextFileTest : public testing_support::TempFolderTest {
protected:
    std::set<std::wstring> FolderEntries() const {
        std::set<std::wstring> names;
        WIN32_FIND_DATAW found;
        const CFindHandle find(FindFirstFileW((Folder() + L"\\*").c_str(), &found));
        if (!find) {
            return names;
        }
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") {
                names.insert(name);
            }
        } while (FindNextFileW(find.Get(), &found));
        return names;
    }
};

// The mark FF FE and the units, little-endian, as the file holds them.
std::string Utf16Bytes(const std::wstring& stored) {
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : stored) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}

TEST_F(TextFileTest, WritesUtf16LittleEndianWithMarkAndCrLf) {
    const std::wstring path = PathOf(L"out.txt");
    ASSERT_TRUE(WriteTextFile(path, L"a\n日"));
    EXPECT_EQ(ReadBytes(path), std::string("\xFF\xFE\x61\0\r\0\n\0\xE5\x65", 10));

    struct Case {
        std::wstring text;
        std::wstring stored;
    };
    const Case cases[] = {
        {L"", L""},
        {L"a\nb", L"a\r\nb"},
        {L"\n\n", L"\r\n\r\n"},
        {L"line\n", L"line\r\n"},
        // A CR LF in the text is one line end, not CR CR LF.
        {L"a\r\nb\r\n", L"a\r\nb\r\n"},
        {L"\r\n\n", L"\r\n\r\n"},
        {L"lone\rcr", L"lone\rcr"},
        {L"ＭＳ Ｐゴシック\n", L"ＭＳ Ｐゴシック\r\n"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteTextFile(path, c.text));
        EXPECT_EQ(ReadBytes(path), Utf16Bytes(c.stored)) << testing::PrintToString(c.text);
    }
}

TEST_F(TextFileTest, ReadsUtf16ByItsMarkAndOtherFilesInTheAnsiCodePage) {
    ASSERT_EQ(GetACP(), 932u) << "the tests expect the Japanese ANSI code page";
    struct Case {
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {Utf16Bytes(L"a\r\nb\r\n"), L"a\nb\n"},
        {Utf16Bytes(L"lone\rcr\nlf"), L"lone\rcr\nlf"},
        // Files written with CR CR LF before line ends were mended.
        {Utf16Bytes(L"x\r\r\ny"), L"x\r\ny"},
        {Utf16Bytes(L"日本語") + "!", L"日本語"},
        {"\xFF\xFE", L""},
        {"", L""},
        {"\x93\xFA\x96\x7B\x8C\xEA\r\n[NG]\r\nabc", L"日本語\n[NG]\nabc"},
    };
    const std::wstring path = PathOf(L"in.txt");
    for (const Case& c : cases) {
        WriteBytes(path, c.bytes);
        std::wstring text = L"stale";
        EXPECT_EQ(ReadTextFile(path, text), !c.text.empty()) << testing::PrintToString(c.text);
        EXPECT_EQ(text, c.text);
    }

    std::wstring text = L"stale";
    EXPECT_FALSE(ReadTextFile(PathOf(L"missing.txt"), text));
    EXPECT_EQ(text, L"");
    EXPECT_EQ(ReadTextFileChecked(PathOf(L"missing.txt"), text), TextFileStatus::NotFound);
    EXPECT_EQ(ReadTextFileChecked(PathOf(L"no folder\\missing.txt"), text), TextFileStatus::NotFound);
    EXPECT_EQ(ReadTextFileChecked(Folder(), text), TextFileStatus::Failed);
}

TEST_F(TextFileTest, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    const std::wstring path = PathOf(L"settings.dat");
    ASSERT_TRUE(WriteTextFile(path, std::wstring(100000, L'x')));
    ASSERT_TRUE(WriteTextFile(path, L"short"));
    EXPECT_EQ(ReadBytes(path), Utf16Bytes(L"short"));
    EXPECT_EQ(FolderEntries(), std::set<std::wstring>{L"settings.dat"});
}

TEST_F(TextFileTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
    const std::wstring path = PathOf(L"settings.dat");
    WriteBytes(path, Utf16Bytes(L"[A]\r\nold\r\n"));
    {
        // Another process reading the file, sharing everything but its deletion, blocks the replacement.
        const CFileHandle holder(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.IsValid());
        EXPECT_FALSE(WriteTextFile(path, L"[A]\nnew\n"));
    }
    EXPECT_EQ(ReadBytes(path), Utf16Bytes(L"[A]\r\nold\r\n"));
    EXPECT_FALSE(WriteTextFile(PathOf(L"no folder\\settings.dat"), L"x"));
    CreateDirectoryW(PathOf(L"folder").c_str(), nullptr);
    EXPECT_FALSE(WriteTextFile(PathOf(L"folder"), L"x"));
    EXPECT_FALSE(WriteTextFile(L"", L"x"));
    EXPECT_EQ(FolderEntries(), (std::set<std::wstring>{L"folder", L"settings.dat"}));
}

} // namespace
