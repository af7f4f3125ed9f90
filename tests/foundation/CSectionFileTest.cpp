#include "foundation/CSectionFile.h"

#include "foundation/Handles.h"
#include "foundation/TextFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

class CSectionFileTest : public testing_support::TempFolderTest {
protected:
    std::wstring Path() const { return PathOf(L"settings.dat"); }
};

std::string Utf16Bytes(const std::wstring& stored) {
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : stored) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}

// Gives everyone exactly these rights on the file (SDDL rights, for example "FA" or "FWSD").
bool SetFileRights(const std::wstring& path, const std::wstring& rights) {
    PSECURITY_DESCRIPTOR made = nullptr;
    const std::wstring sddl = L"D:P(A;;" + rights + L";;;WD)";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &made, nullptr)) {
        return false;
    }
    const CLocalMemory<void> descriptor(made);
    return SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.Get()) != FALSE;
}

size_t CountOf(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t pos = text.find(part); pos != std::wstring::npos; pos = text.find(part, pos + 1)) {
        ++count;
    }
    return count;
}

TEST_F(CSectionFileTest, StoresHeaderBodyAndAnEmptyLineBeforeTheNextHeader) {
    CSectionFile file(Path());
    ASSERT_TRUE(file.SetSection(L"RecentOpenFile", L"C:\\a.flv\nC:\\b.mp4"));
    ASSERT_TRUE(file.SetSection(L"Second", L"x"));
    EXPECT_EQ(ReadBytes(Path()), Utf16Bytes(L"[RecentOpenFile]\r\nC:\\a.flv\r\nC:\\b.mp4\r\n\r\n[Second]\r\nx\r\n"));

    ASSERT_TRUE(file.SetSection(L"RecentOpenFile", L"[sm9]\nC:\\動画\\b.mp4\n[x"));
    EXPECT_EQ(ReadBytes(Path()), Utf16Bytes(L"[RecentOpenFile]\r\n%_BLANK_%[sm9]\r\nC:\\動画\\b.mp4\r\n%_BLANK_%[x\r\n"
                                            L"\r\n[Second]\r\nx\r\n"));
}

TEST_F(CSectionFileTest, BodiesRoundTripLiterallyWhereverTheSectionStands) {
    struct Case {
        std::wstring body;
        std::wstring read;
    };
    const Case cases[] = {
        {L"", L""},
        {L"one", L"one"},
        {L"two\nlines", L"two\nlines"},
        {L"one\n", L"one\n"},
        {L"\n", L"\n"},
        {L"x\n\n", L"x\n\n"},
        {L"[starts with a bracket", L"[starts with a bracket"},
        {L"a\n[T]\nlooks like its own header", L"a\n[T]\nlooks like its own header"},
        {L"[%_DUMMY_SECTION_%]", L"[%_DUMMY_SECTION_%]"},
        {L"$1 $& $$ $0 \\1 \\\\ %_DUMMY ?*.", L"$1 $& $$ $0 \\1 \\\\ %_DUMMY ?*."},
        {L"typed %_BLANK_% marker", L"typed  marker"},
        {L"a\r\nb", L"a\nb"},
        {L"ＭＳ Ｐゴシック\n[日本語]", L"ＭＳ Ｐゴシック\n[日本語]"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.body));
        CSectionFile file(PathOf(L"case" + std::to_wstring(index++) + L".dat"));
        auto expectWhole = [&] {
            EXPECT_EQ(file.ReadSection(L"T", L"default"), c.read);
            EXPECT_EQ(file.ReadSection(L"Before", L"default"), L"1");
            const std::wstring text = file.ReadText(L"");
            EXPECT_EQ(CountOf(text, L"\n[T]\n"), 1u) << testing::PrintToString(text);
            EXPECT_EQ(text.find(L"\n[%_DUMMY_SECTION_%]"), std::wstring::npos);
        };
        ASSERT_TRUE(file.SetSection(L"Before", L"1"));
        ASSERT_TRUE(file.SetSection(L"T", c.body));
        expectWhole(); // appended as the last section
        ASSERT_TRUE(file.SetSection(L"T", L"old"));
        ASSERT_TRUE(file.SetSection(L"T", c.body));
        expectWhole(); // replaced as the last section
        ASSERT_TRUE(file.SetSection(L"After", L"2"));
        ASSERT_TRUE(file.SetSection(L"T", L"old"));
        ASSERT_TRUE(file.SetSection(L"T", c.body));
        expectWhole(); // replaced between two sections
        EXPECT_EQ(file.ReadSection(L"After", L"default"), L"2");
    }
}

TEST_F(CSectionFileTest, HandWrittenAndAnsiFilesAreNormalisedAndWrittenBackAsUtf16) {
    ASSERT_EQ(GetACP(), 932u) << "the tests expect the Japanese ANSI code page";
    struct Case {
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {Utf16Bytes(L"[A]\r\nx\r\n[B]\r\ny"), L"[A]\nx\n\n[B]\ny"},
        {Utf16Bytes(L"[A]\r\n[B]\r\n"), L"[A]\n\n[B]\n"},
        {Utf16Bytes(L"[A]\r\nx\r\n\r\n\r\n[B]\r\n"), L"[A]\nx\n\n\n[B]\n"},
        {"[NG]\r\n\x93\xFA\x96\x7B\x8C\xEA\r\n[B]\r\nx", L"[NG]\n日本語\n\n[B]\nx"},
    };
    for (const Case& c : cases) {
        WriteBytes(Path(), c.bytes);
        EXPECT_EQ(CSectionFile(Path()).ReadText(L"default"), c.text);
    }

    WriteBytes(Path(), "[NG]\r\n\x93\xFA\x96\x7B\x8C\xEA\r\n");
    CSectionFile file(Path());
    EXPECT_EQ(file.ReadSection(L"NG", L""), L"日本語");
    ASSERT_TRUE(file.SetSection(L"Font", L"ＭＳ Ｐゴシック"));
    EXPECT_EQ(ReadBytes(Path()), Utf16Bytes(L"[NG]\r\n日本語\r\n\r\n[Font]\r\nＭＳ Ｐゴシック\r\n"));
}

TEST_F(CSectionFileTest, SectionWithoutFinalLineEndIsReplacedNotDuplicated) {
    struct Case {
        std::wstring stored;
        std::wstring name;
        std::wstring text;
    };
    const Case cases[] = {
        {L"[A]", L"A", L"[A]\nx\n"},
        {L"[B]\r\ny\r\n\r\n[A]", L"A", L"[B]\ny\n\n[A]\nx\n"},
        {L"[A]\r\nfoo", L"A", L"[A]\nx\n"},
        {L"[A]\r\nfoo\r\n\r\n[B]\r\nbar", L"B", L"[A]\nfoo\n\n[B]\nx\n"},
    };
    for (const Case& c : cases) {
        WriteBytes(Path(), Utf16Bytes(c.stored));
        CSectionFile file(Path());
        ASSERT_TRUE(file.SetSection(c.name, L"x"));
        EXPECT_EQ(file.ReadText(L""), c.text) << testing::PrintToString(c.stored);
    }
}

TEST_F(CSectionFileTest, LinesNumbersAndDefaults) {
    CSectionFile file;
    EXPECT_FALSE(file.AssignPath(Path()));
    EXPECT_EQ(file.ReadSection(L"A", L"default"), L"default");
    EXPECT_EQ(file.ReadSectionInt(L"A"), -1);
    EXPECT_TRUE(file.ReadSectionLines(L"A", false).empty());
    EXPECT_EQ(CSectionFile().ReadSection(L"A", L"default"), L"default");

    ASSERT_TRUE(file.SetSectionLines(L"Lines", {L"a", L"", L"b", L""}));
    EXPECT_TRUE(file.AssignPath(Path()));
    EXPECT_EQ(file.ReadSection(L"Lines", L""), L"a\n\nb\n");
    EXPECT_EQ(file.ReadSectionLines(L"Lines", false), (std::vector<std::wstring>{L"a", L"", L"b", L""}));
    EXPECT_EQ(file.ReadSectionLines(L"Lines", true), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_TRUE(file.ReadSectionLines(L"Missing", false).empty());
    EXPECT_EQ(file.ReadSection(L"Missing", L"default"), L"");

    // An empty last line survives the next append, also in the last section of the file.
    ASSERT_TRUE(file.AppendLine(L"History", L"first"));
    ASSERT_TRUE(file.AppendLine(L"History", L""));
    ASSERT_TRUE(file.AppendLine(L"History", L"third"));
    EXPECT_EQ(file.ReadSectionLines(L"History", false), (std::vector<std::wstring>{L"first", L"", L"third"}));

    struct Case {
        std::wstring stored;
        int value;
    };
    const Case cases[] = {{L"42", 42}, {L"-7", -7}, {L"0", 0}, {L"x", -1}, {L"12x", -1}, {L"", -1}};
    for (const Case& c : cases) {
        ASSERT_TRUE(file.SetSectionValue(L"Number", c.stored));
        EXPECT_EQ(file.ReadSectionInt(L"Number"), c.value) << testing::PrintToString(c.stored);
    }
    ASSERT_TRUE(file.SetSectionValue(L"Number", 2147483647));
    EXPECT_EQ(file.ReadSectionValue(L"Number", L""), L"2147483647");
    EXPECT_EQ(file.ReadSectionInt(L"Missing"), -1);
}

TEST_F(CSectionFileTest, FileThatCannotBeReadIsNotRewritten) {
    const std::string stored = Utf16Bytes(L"[RecentOpenFile]\r\nC:\\a.flv\r\n\r\n[History]\r\nx\r\n");
    WriteBytes(Path(), stored);
    CSectionFile file(Path());
    {
        // Held by a writer that shares writing but not reading: writing in place would get through.
        const CFileHandle holder(CreateFileW(Path().c_str(), GENERIC_WRITE, FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder.IsValid());
        EXPECT_FALSE(file.SetSection(L"History", L"y"));
        EXPECT_FALSE(file.AppendLine(L"History", L"y"));
    }
    EXPECT_EQ(ReadBytes(Path()), stored);
    EXPECT_EQ(file.ReadSection(L"History", L""), L"x");

    CSectionFile folder(Folder());
    EXPECT_FALSE(folder.SetSection(L"History", L"y"));
    EXPECT_NE(GetFileAttributesW(Folder().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// Here no handle is open, so nothing but the failed read keeps the file from being replaced.
TEST_F(CSectionFileTest, FileWithoutReadRightIsNotRewritten) {
    WriteBytes(Path(), Utf16Bytes(L"[History]\r\nx\r\n"));
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    ASSERT_TRUE(GetFileAttributesExW(Path().c_str(), GetFileExInfoStandard, &before));
    ASSERT_TRUE(SetFileRights(Path(), L"FWSD")); // write and delete, no read
    std::wstring text;
    if (ReadTextFileChecked(Path(), text) != TextFileStatus::Failed) {
        // Wine turns the rights into Unix permissions, which do not bind root.
        GTEST_SKIP() << "the file can still be read (Wine running as root)";
    }
    CSectionFile file(Path());
    EXPECT_FALSE(file.SetSection(L"History", L"a longer body"));
    EXPECT_FALSE(file.AppendLine(L"History", L"y"));
    // Without the right to read, the file is compared by what its folder entry tells.
    WIN32_FILE_ATTRIBUTE_DATA after = {};
    ASSERT_TRUE(GetFileAttributesExW(Path().c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(after.nFileSizeLow, before.nFileSizeLow);
    EXPECT_EQ(CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime), 0);
}

TEST_F(CSectionFileTest, ThreadsAppendingToOneFileLoseNoLine) {
    constexpr int kThreads = 6;
    constexpr int kLines = 15;
    // The same file under other spellings of its path shares the one lock.
    const std::wstring paths[] = {Path(), Folder() + L"\\.\\SETTINGS.DAT", Folder() + L"\\x\\..\\Settings.Dat"};
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CSectionFile file(paths[t % 3]);
            for (int i = 0; i < kLines; ++i) {
                if (!file.AppendLine(L"History", std::to_wstring(t) + L"-" + std::to_wstring(i))) {
                    ++failures[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));

    std::vector<std::wstring> expected;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kLines; ++i) {
            expected.push_back(std::to_wstring(t) + L"-" + std::to_wstring(i));
        }
    }
    std::vector<std::wstring> lines = CSectionFile(Path()).ReadSectionLines(L"History", false);
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected);
}

} // namespace
