#include "foundation/Shell.h"

#include "foundation/CBaseDebug.h"
#include "foundation/AppSettings.h"
#include "foundation/Handles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstring>

using Microsoft::WRL::ComPtr;
using testing_support::PumpMessagesUntil;
using testing_support::TempFolderTest;
using testing_support::WindowText;

namespace {

constexpr FILEOP_FLAGS kQuietFlags = 0x614; // silent, no confirmation, no error UI, not to the recycle bin

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ShellTest : public TempFolderTest {
protected:
    // A batch file that writes the echo of line (by default "[" + its arguments + "]") to args.txt
    // beside itself.
    std::wstring MakeRecorder(const std::wstring& folderName, const std::string& line = "[%*]") {
        const std::wstring folder = PathOf(folderName);
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring path = folder + L"\\record.bat";
        WriteBytes(path, "@echo off\r\n>\"%~dp0args.txt\" echo " + line + "\r\n");
        return path;
    }

    // What the recorder in folderName wrote, once it has written it.
    std::string ReadRecorded(const std::wstring& folderName) {
        const std::wstring path = PathOf(folderName + L"\\args.txt");
        std::string text;
        PumpMessagesUntil([&] {
            text = ReadBytes(path);
            return text.find(']') != std::string::npos;
        });
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
            text.pop_back();
        }
        return text;
    }

    // Restores the browser settings that a test changes.
    struct BrowserSettingsGuard {
        AppSettings saved = GetAppSettings();
        ~BrowserSettingsGuard() { GetAppSettings() = saved; }
    };
};

} // namespace

TEST(ShellDropTest, GetDroppedFileNameReadsEachPathOfTheDrop) {
    const std::wstring names = std::wstring(L"C:\\動画\\sm9 テスト.mp4") + L'\0' + L"D:\\b\\c.xml" + L'\0' + L'\0';
    const CGlobalMemory memory(
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size() * sizeof(wchar_t)));
    ASSERT_TRUE(memory.IsValid());
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory.Get()));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory.Get());

    const auto dropped = static_cast<HDROP>(memory.Get());
    EXPECT_EQ(GetDroppedFileName(dropped, 0), L"C:\\動画\\sm9 テスト.mp4");
    EXPECT_EQ(GetDroppedFileName(dropped, 1), L"D:\\b\\c.xml");
    EXPECT_EQ(GetDroppedFileName(dropped, 2), L"");
}

TEST_F(ShellTest, GetShortcutTargetReadsTheTargetOfALink) {
    const std::wstring target = PathOf(L"動画 sm9.mp4");
    WriteBytes(target, "video");
    const std::wstring linkPath = PathOf(L"動画 sm9.lnk");
    {
        ComPtr<IShellLinkW> link;
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)));
        ASSERT_HRESULT_SUCCEEDED(link->SetPath(target.c_str()));
        ComPtr<IPersistFile> file;
        ASSERT_HRESULT_SUCCEEDED(link.As(&file));
        ASSERT_HRESULT_SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
    }

    EXPECT_EQ(GetShortcutTarget(linkPath), target);
    EXPECT_EQ(GetShortcutTarget(PathOf(L"missing.lnk")), L"");
}

TEST_F(ShellTest, ExecuteCommandLineStartsTheProgramQuotedOrNotWithItsArguments) {
    struct Case {
        const wchar_t* folder;
        bool quoted;
        const wchar_t* arguments;
        const char* recorded;
    };
    for (const Case& c : {Case{L"plain", false, L"one  two", "[one  two]"},
                          Case{L"with blank", true, L"\"a b\" c", "[\"a b\" c]"}, Case{L"no args", true, L"", "[]"}}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.folder)));
        const std::wstring recorder = MakeRecorder(c.folder);
        const std::wstring program = c.quoted ? L"\"" + recorder + L"\"" : recorder;
        EXPECT_TRUE(ExecuteCommandLine(L"  " + program + L" " + c.arguments));
        EXPECT_EQ(ReadRecorded(c.folder), c.recorded);
    }
    EXPECT_FALSE(ExecuteCommandLine(L"\"" + PathOf(L"missing.exe") + L"\" x"));
    EXPECT_FALSE(ExecuteCommandLine(L"   "));
}

TEST_F(ShellTest, RunUserCommandFillsTheBrowserCommandOrUsesTheDefaultHandler) {
    BrowserSettingsGuard guard;
    AppSettings& settings = GetAppSettings();

    settings.BrowserPath = MakeRecorder(L"my browser");
    settings.BrowserCommand = L"%path% -new %url%";
    EXPECT_TRUE(RunUserCommand(L"http://example.com/watch/sm9"));
    EXPECT_EQ(ReadRecorded(L"my browser"), "[-new http://example.com/watch/sm9]");

    // Blanks and quotes cannot be part of a valid URL; passed on, they would add arguments. Wine's cmd
    // expands "%2" inside a batch file's arguments, so only the split into arguments is compared.
    settings.BrowserPath = MakeRecorder(L"split", "[%~1][%~2]");
    settings.BrowserCommand = L"%path% %url%";
    EXPECT_TRUE(RunUserCommand(L"http://example.com/a b\" -evil"));
    const std::string split = ReadRecorded(L"split");
    ASSERT_GE(split.size(), 8u);
    EXPECT_EQ(split.rfind("[http://example.com/a", 0), 0u) << split;
    EXPECT_EQ(split.substr(split.size() - 8), "-evil][]") << split;

    settings.BrowserPath.clear();
    const std::wstring opened = MakeRecorder(L"default");
    EXPECT_TRUE(RunUserCommand(opened));
    EXPECT_EQ(ReadRecorded(L"default"), "[]");
    EXPECT_FALSE(RunUserCommand(PathOf(L"missing.exe")));
}

TEST_F(ShellTest, CopyRenameAndDeleteWorkOnFilesAndFolders) {
    WriteBytes(PathOf(L"a.txt"), "alpha");
    CreateDirectoryW(PathOf(L"src").c_str(), nullptr);
    WriteBytes(PathOf(L"src\\inner.txt"), "inner");

    EXPECT_EQ(CopyPath(PathOf(L"a.txt"), PathOf(L"b.txt"), kQuietFlags, nullptr), 0);
    EXPECT_EQ(CopyPath(PathOf(L"src"), PathOf(L"dst"), kQuietFlags, nullptr), 0);
    EXPECT_EQ(ReadBytes(PathOf(L"b.txt")), "alpha");
    EXPECT_EQ(ReadBytes(PathOf(L"dst\\inner.txt")), "inner");
    EXPECT_NE(CopyPath(PathOf(L"missing.txt"), PathOf(L"c.txt"), kQuietFlags, nullptr), 0);

    EXPECT_TRUE(RenameFile(PathOf(L"b.txt"), PathOf(L"c.txt")));
    EXPECT_TRUE(RenameFile(PathOf(L"dst"), PathOf(L"moved")));
    EXPECT_FALSE(RenameFile(PathOf(L"c.txt"), PathOf(L"a.txt"))) << "the target exists";
    EXPECT_FALSE(Exists(PathOf(L"b.txt")));
    EXPECT_EQ(ReadBytes(PathOf(L"c.txt")), "alpha");
    EXPECT_EQ(ReadBytes(PathOf(L"moved\\inner.txt")), "inner");

    EXPECT_EQ(DeletePath(PathOf(L"c.txt"), kQuietFlags, nullptr), 0);
    EXPECT_EQ(DeletePath(PathOf(L"moved"), kQuietFlags, nullptr), 0);
    EXPECT_FALSE(Exists(PathOf(L"c.txt")));
    EXPECT_FALSE(Exists(PathOf(L"moved")));
    EXPECT_NE(DeletePath(PathOf(L"missing.txt"), kQuietFlags, nullptr), 0);
    EXPECT_NE(DeletePath(L"", kQuietFlags, nullptr), 0);
    EXPECT_TRUE(Exists(PathOf(L"a.txt")));
    EXPECT_TRUE(Exists(PathOf(L"src\\inner.txt")));
}

TEST_F(ShellTest, DeleteRelatedFilesRemovesExactlyTheEntriesHoldingTheBaseName) {
    for (const wchar_t* name : {L"sm9 動画.mp4", L"sm9 動画.xml", L"[past] sm9 動画.xml", L"SM9 動画.JPG", L"sm9.mp4",
                                L"other.mp4", L"sm9 動.txt"}) {
        WriteBytes(PathOf(name), "x");
    }
    CreateDirectoryW(PathOf(L"sm9 動画_files").c_str(), nullptr);
    WriteBytes(PathOf(L"sm9 動画_files\\inner.txt"), "x");
    CreateDirectoryW(PathOf(L"keep").c_str(), nullptr);
    const int logStart = GetWindowTextLengthW(DebugLog().GetEditControl());

    EXPECT_TRUE(DeleteRelatedFiles(PathOf(L"sm9 動画.mp4")));

    for (const wchar_t* gone :
         {L"sm9 動画.mp4", L"sm9 動画.xml", L"[past] sm9 動画.xml", L"SM9 動画.JPG", L"sm9 動画_files"}) {
        EXPECT_FALSE(Exists(PathOf(gone))) << testing::PrintToString(std::wstring(gone));
    }
    for (const wchar_t* kept : {L"sm9.mp4", L"other.mp4", L"sm9 動.txt", L"keep"}) {
        EXPECT_TRUE(Exists(PathOf(kept))) << testing::PrintToString(std::wstring(kept));
    }
    const std::wstring log = WindowText(DebugLog().GetEditControl()).substr(logStart);
    EXPECT_NE(log.find(L"Delete file... " + PathOf(L"sm9 動画.mp4") + L"\r\n"), std::wstring::npos) << log;
    EXPECT_NE(log.find(L"Delete file... " + PathOf(L"[past] sm9 動画.xml") + L"\r\n"), std::wstring::npos);
    EXPECT_NE(log.find(L"Delete dir... " + PathOf(L"sm9 動画_files") + L"\r\n"), std::wstring::npos);
    EXPECT_EQ(log.find(L"other.mp4"), std::wstring::npos);
}

TEST_F(ShellTest, DeleteRelatedFilesRefusesAMaskThatWouldTakeTheWholeFolder) {
    for (const wchar_t* name : {L".xml", L"a.mp4", L"b.txt"}) {
        WriteBytes(PathOf(name), "x");
    }
    for (const std::wstring& path : {PathOf(L".xml"), PathOf(L""), PathOf(L"*.mp4"), PathOf(L"?.mp4")}) {
        EXPECT_FALSE(DeleteRelatedFiles(path)) << testing::PrintToString(path);
    }
    EXPECT_FALSE(DeleteRelatedFilesInFolder(L"", Folder()));
    EXPECT_FALSE(DeleteRelatedFilesInFolder(L"a.mp4", L"")) << "would work in the root of the current drive";
    for (const wchar_t* name : {L".xml", L"a.mp4", L"b.txt"}) {
        EXPECT_TRUE(Exists(PathOf(name))) << testing::PrintToString(std::wstring(name));
    }
}

TEST_F(ShellTest, DeleteRelatedFilesOfAVideoIdLeaveTheFilesOfLongerIds) {
    for (const wchar_t* name : {L"sm12.mp4", L"題名(sm12).xml", L"題名(sm123).mp4", L"sm1234.xml", L"sm12 memo.txt"}) {
        WriteBytes(PathOf(name), "x");
    }
    EXPECT_TRUE(DeleteRelatedFilesInFolder(L"sm12", Folder()));
    for (const wchar_t* gone : {L"sm12.mp4", L"題名(sm12).xml", L"sm12 memo.txt"}) {
        EXPECT_FALSE(Exists(PathOf(gone))) << testing::PrintToString(std::wstring(gone));
    }
    for (const wchar_t* kept : {L"題名(sm123).mp4", L"sm1234.xml"}) {
        EXPECT_TRUE(Exists(PathOf(kept))) << testing::PrintToString(std::wstring(kept));
    }
}

TEST_F(ShellTest, DeleteRelatedFilesInFolderJoinsFolderAndName) {
    WriteBytes(PathOf(L"a.mp4"), "x");
    WriteBytes(PathOf(L"b.mp4"), "x");
    WriteBytes(PathOf(L"c.txt"), "x");
    EXPECT_TRUE(DeleteRelatedFilesInFolder(L"a.mp4", Folder()));
    EXPECT_TRUE(DeleteRelatedFilesInFolder(L"b.mp4", Folder() + L"\\"));
    EXPECT_FALSE(Exists(PathOf(L"a.mp4")));
    EXPECT_FALSE(Exists(PathOf(L"b.mp4")));
    EXPECT_TRUE(Exists(PathOf(L"c.txt")));
}
