#include "foundation/PathUtil.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

using testing_support::TempFolderTest;

namespace {

std::wstring CurrentFolder() {
    wchar_t buffer[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, buffer);
    return buffer;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

// Restores the process's current folder at the end of a test that switches it.
class CurrentFolderGuard {
public:
    CurrentFolderGuard() : m_saved(CurrentFolder()) {}
    ~CurrentFolderGuard() { SetCurrentDirectoryW(m_saved.c_str()); }

private:
    std::wstring m_saved;
};

} // namespace

class PathUtilFileTest : public TempFolderTest {};

TEST(PathUtilTest, SplitsPathIntoParts) {
    struct Case {
        const wchar_t* path;
        const wchar_t* fileName;
        const wchar_t* extension;
        const wchar_t* directory;
        const wchar_t* withoutExtension;
    };
    const Case cases[] = {
        {L"C:\\v\\タイトル(sm9).mp4", L"タイトル(sm9).mp4", L".mp4", L"C:\\v\\", L"C:\\v\\タイトル(sm9)"},
        {L"C:\\v\\a.tar.gz", L"a.tar.gz", L".gz", L"C:\\v\\", L"C:\\v\\a.tar"},
        {L"C:\\v.d\\noext", L"noext", L"", L"C:\\v.d\\", L"C:\\v.d\\noext"},
        {L"C:\\v\\folder", L"folder", L"", L"C:\\v\\", L"C:\\v\\folder"},
        {L"C:\\v\\", L"", L"", L"C:\\v\\", L"C:\\v\\"},
        {L"C:a.txt", L"a.txt", L".txt", L"C:", L"C:a"},
        {L"a.txt", L"a.txt", L".txt", L"", L"a"},
        {L"", L"", L"", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetFileName(c.path), c.fileName);
        EXPECT_EQ(GetFileExtension(c.path), c.extension);
        EXPECT_EQ(GetDirectoryPath(c.path), c.directory);
        EXPECT_EQ(RemoveExtension(c.path), c.withoutExtension);
    }
}

TEST(PathUtilTest, AddsExtensionUnlessPresentAndDerivesCompanions) {
    EXPECT_EQ(AddExtension(L"C:\\lists\\x", L".m3u"), L"C:\\lists\\x.m3u");
    EXPECT_EQ(AddExtension(L"C:\\lists\\x.M3U", L".m3u"), L"C:\\lists\\x.M3U");
    EXPECT_EQ(AddExtension(L"C:\\lists\\x.m3u.txt", L".m3u"), L"C:\\lists\\x.m3u.txt.m3u");

    EXPECT_EQ(RemoveTrailingSlash(L"C:\\save\\"), L"C:\\save");
    EXPECT_EQ(RemoveTrailingSlash(L"C:\\save/"), L"C:\\save");
    EXPECT_EQ(RemoveTrailingSlash(L"C:\\save\\\\"), L"C:\\save\\");
    EXPECT_EQ(RemoveTrailingSlash(L""), L"");

    EXPECT_EQ(MakeJpgPath(L"C:\\v.d\\タイトル(sm9).flv"), L"C:\\v.d\\タイトル(sm9).jpg");
    EXPECT_EQ(MakeJpgPath(L"C:\\v.d\\clip"), L"C:\\v.d\\clip.jpg");
}

TEST_F(PathUtilFileTest, FileExistsForFilesAndFolders) {
    WriteBytes(PathOf(L"a.txt"), "x");
    EXPECT_TRUE(FileExists(PathOf(L"a.txt")));
    EXPECT_FALSE(IsFolder(PathOf(L"a.txt")));
    EXPECT_TRUE(FileExists(Folder()));
    EXPECT_TRUE(IsFolder(Folder()));
    EXPECT_FALSE(FileExists(PathOf(L"missing")));
    EXPECT_FALSE(IsFolder(PathOf(L"missing")));
}

TEST(PathUtilTest, GetAbsolutePathResolvesAgainstBase) {
    struct Case {
        const wchar_t* base;
        const wchar_t* path;
        bool emptyStaysEmpty;
        const wchar_t* expected;
    };
    // The bases need not exist: the paths are joined as text.
    const Case cases[] = {
        {L"C:\\base", L"", true, L""},
        {L"C:\\base", L"", false, L"C:\\base"},
        {L"C:\\base", L"a.txt", true, L"C:\\base\\a.txt"},
        {L"C:\\base\\", L"a.txt", true, L"C:\\base\\a.txt"},
        {L"C:\\base", L".\\sub\\a.txt", true, L"C:\\base\\sub\\a.txt"},
        {L"C:\\base\\sub", L"..\\a.txt", false, L"C:\\base\\a.txt"},
        {L"C:\\base", L"D:\\other\\..\\a.txt", true, L"D:\\a.txt"},
        {L"C:\\base", L"\\root.txt", true, L"C:\\root.txt"},
        {L"C:\\base", L"c:x.txt", true, L"C:\\base\\x.txt"},
        {L"\\\\server\\share\\dir", L"..\\a.txt", true, L"\\\\server\\share\\a.txt"},
        {L"\\\\server\\share\\dir", L"\\a.txt", true, L"\\\\server\\share\\a.txt"},
        {L"C:\\base", L"\\\\server\\share\\a.txt", true, L"\\\\server\\share\\a.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.base) + L" | " + c.path);
        EXPECT_EQ(GetAbsolutePath(c.base, c.path, c.emptyStaysEmpty), c.expected);
    }
}

TEST(PathUtilTest, GetAbsolutePathKeepsPathsLongerThanMaxPath) {
    const std::wstring base = L"C:\\" + std::wstring(300, L'd');
    EXPECT_EQ(GetAbsolutePath(base, L"sub\\..\\a.txt", true), base + L"\\a.txt");
}

TEST_F(PathUtilFileTest, GetAbsolutePathLeavesCurrentFolderAlone) {
    CurrentFolderGuard guard;
    ASSERT_TRUE(SetCurrentDirectoryW(Folder().c_str()));
    const std::wstring current = CurrentFolder();
    EXPECT_EQ(GetAbsolutePath(L"", L"a.txt", true), current + L"\\a.txt");
    EXPECT_EQ(GetAbsolutePath(L"C:\\windows", L"a.txt", true), L"C:\\windows\\a.txt");
    EXPECT_EQ(CurrentFolder(), current);

    // A worker resolving against another base must not move the current folder under this thread.
    CreateDirectoryW(PathOf(L"other").c_str(), nullptr);
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        while (!stop) {
            GetAbsolutePath(PathOf(L"other"), L"x", true);
        }
    });
    int wrong = 0;
    for (int i = 0; i < 2000; ++i) {
        if (GetAbsolutePath(L"", L"y", true) != current + L"\\y" || CurrentFolder() != current) {
            ++wrong;
        }
    }
    stop = true;
    worker.join();
    EXPECT_EQ(wrong, 0);
}

TEST(PathUtilTest, MakeRelativePathOnlyInsideBase) {
    struct Case {
        const wchar_t* path;
        const wchar_t* base;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"", L"C:\\Prog", L""},
        {L"C:\\Prog\\x.txt", L"C:\\Prog", L".\\x.txt"},
        {L"c:\\Prog\\sub\\x.txt", L"C:\\Prog", L".\\sub\\x.txt"},
        {L"C:\\lists\\sub\\a.flv", L"C:\\lists\\", L".\\sub\\a.flv"},
        {L"C:\\x.txt", L"C:\\", L".\\x.txt"},
        {L"C:\\Prog", L"C:\\Prog", L".\\"},
        // A longer folder name that begins with the base is not inside it.
        {L"C:\\Program\\x.txt", L"C:\\Prog", L"C:\\Program\\x.txt"},
        // Another drive with the same folders is not inside it either.
        {L"D:\\Prog\\x.txt", L"C:\\Prog", L"D:\\Prog\\x.txt"},
        {L"C:\\Other\\x.txt", L"C:\\Prog", L"C:\\Other\\x.txt"},
        {L"C:\\Pr", L"C:\\Prog", L"C:\\Pr"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.path) + L" | " + c.base);
        EXPECT_EQ(MakeRelativePath(c.path, c.base), c.expected);
    }
}

TEST_F(PathUtilFileTest, MakeRelativePathRoundTripsAndDefaultsToCurrentFolder) {
    CurrentFolderGuard guard;
    ASSERT_TRUE(SetCurrentDirectoryW(Folder().c_str()));
    const std::wstring current = CurrentFolder();
    EXPECT_EQ(MakeRelativePath(current + L"\\sub\\a.flv", L""), L".\\sub\\a.flv");

    const std::wstring base = L"C:\\Prog";
    for (const wchar_t* path : {L"C:\\Prog\\a.flv", L"C:\\Prog\\sub\\b.flv", L"C:\\Program\\c.flv", L"D:\\Prog\\d"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(GetAbsolutePath(base, MakeRelativePath(path, base), true), path);
    }
}

class EnumerateFilesTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        CreateDirectoryW(PathOf(L"sub").c_str(), nullptr);
        CreateDirectoryW(PathOf(L"sub\\deeper").c_str(), nullptr);
        CreateDirectoryW(PathOf(L"folder.mp4").c_str(), nullptr);
        for (const wchar_t* name : {L"a.mp4", L"b.flv", L"c.txt", L"sub\\d.mp4", L"sub\\deeper\\e.FLV"}) {
            WriteBytes(PathOf(name), "x");
        }
    }
};

TEST_F(EnumerateFilesTest, ListsByPatternWithAndWithoutRecursion) {
    struct Case {
        const wchar_t* pattern;
        bool fullPaths;
        bool includeFolders;
        bool recursive;
        std::vector<std::wstring> expected; // relative to the folder
    };
    const Case cases[] = {
        {L"*.mp4", false, false, false, {L"a.mp4"}},
        {L"*.mp4", false, true, false, {L"a.mp4", L"folder.mp4"}},
        {L"*", true, false, false, {L"a.mp4", L"b.flv", L"c.txt"}},
        {L"*.mp4;*.flv", true, false, true, {L"a.mp4", L"b.flv", L"sub\\d.mp4", L"sub\\deeper\\e.FLV"}},
        {L"*.mp4", true, true, true, {L"a.mp4", L"folder.mp4", L"sub\\d.mp4"}},
        {L"*",
         true,
         true,
         true,
         {L"a.mp4", L"b.flv", L"c.txt", L"folder.mp4", L"sub", L"sub\\d.mp4", L"sub\\deeper", L"sub\\deeper\\e.FLV"}},
        // Without full paths the names of sub-folder entries come without their folder.
        {L"*.mp4", false, false, true, {L"a.mp4", L"d.mp4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "pattern " << c.pattern << " full " << c.fullPaths << " folders "
                                          << c.includeFolders << " recursive " << c.recursive);
        std::vector<std::wstring> expected;
        for (const auto& name : c.expected) {
            expected.push_back(c.fullPaths ? PathOf(name) : name);
        }
        std::vector<std::wstring> found;
        EXPECT_TRUE(EnumerateFiles(Folder(), c.pattern, found, c.fullPaths, c.includeFolders, c.recursive));
        EXPECT_EQ(Sorted(found), Sorted(expected));
    }
}

TEST_F(EnumerateFilesTest, AppendsAndReportsFailedFirstLookup) {
    std::vector<std::wstring> found = {L"kept"};
    EXPECT_TRUE(EnumerateFiles(Folder() + L"\\", L"*.txt", found, true, false, false));
    EXPECT_EQ(found, (std::vector<std::wstring>{L"kept", PathOf(L"c.txt")}));

    EXPECT_FALSE(EnumerateFiles(Folder(), L"*.wmv", found, false, false, false));
    EXPECT_FALSE(EnumerateFiles(PathOf(L"missing"), L"*", found, false, true, true));
    EXPECT_EQ(found.size(), 2u);
}

TEST_F(PathUtilFileTest, FindRelatedMovieFileTakesMovieWithSameVideoId) {
    CreateDirectoryW(PathOf(L"sm777.mp4").c_str(), nullptr);
    for (const wchar_t* name : {L"タイトル(sm123).mp4", L"タイトル(sm123).xml", L"タイトル(sm123).jpg",
                                L"別の動画(sm1234).flv", L"sm555.xml", L"My Clip [HD].AVI", L"notes.txt"}) {
        WriteBytes(PathOf(name), "x");
    }
    struct Case {
        const wchar_t* name;
        const wchar_t* expected; // in the folder; empty for none
    };
    const Case cases[] = {
        {L"sm123", L"タイトル(sm123).mp4"},
        {L"http://www.example.jp/watch/sm123", L"タイトル(sm123).mp4"},
        {L"タイトル(sm123).xml", L"タイトル(sm123).mp4"},
        // "sm123" must not pick the movie of "sm1234", nor the other way round.
        {L"sm1234", L"別の動画(sm1234).flv"},
        {L"sm12", L""},
        {L"sm555", L""},
        {L"sm777", L""},
        // Without a video ID the base name relates the files.
        {L"C:\\old\\my clip.txt", L"My Clip [HD].AVI"},
        {L"notes.txt", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring expected = *c.expected == L'\0' ? std::wstring() : PathOf(c.expected);
        EXPECT_EQ(FindRelatedMovieFile(c.name, Folder()), expected);
    }
    EXPECT_EQ(FindRelatedMovieFile(L"sm123", L""), L"");
}

TEST(PathUtilTest, GetLastErrorTextIsOneLineOrEmpty) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    const std::wstring text = GetLastErrorText();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos) << text;

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetLastErrorText(), L"");
}
