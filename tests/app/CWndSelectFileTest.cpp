#include "app/CWndSelectFile.h"

#include "foundation/AppSettings.h"
#include "foundation/Handles.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class CWndSelectFileTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_saved = GetAppSettings();
    }
    void TearDown() override {
        GetAppSettings() = m_saved;
        TempFolderTest::TearDown();
    }
    // A file written minutesAgo minutes before now, so that the newest-first order is known.
    void WriteAged(const std::wstring& name, int minutesAgo) {
        WriteBytes(PathOf(name), "<packet/>");
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER time = {{now.dwLowDateTime, now.dwHighDateTime}};
        time.QuadPart -= static_cast<ULONGLONG>(minutesAgo) * 60 * 10000000;
        const FILETIME written = {time.LowPart, time.HighPart};
        CFileHandle file(
            CreateFileW(PathOf(name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        SetFileTime(file.Get(), nullptr, nullptr, &written);
    }

private:
    AppSettings m_saved;
};

TEST_F(CWndSelectFileTest, CommentFilesOfTheVideoNewestFirstAndTheChoice) {
    const std::wstring video = PathOf(L"動画(sm9).mp4");
    WriteBytes(video, "x");
    WriteAged(L"動画(sm9).xml", 30);
    WriteAged(L"動画(sm9)[past].xml", 10);
    WriteAged(L"動画(sm9)[Owner].xml", 1); // the uploader's comments are not offered
    WriteAged(L"other(sm90).xml", 1);      // another video ID
    EXPECT_EQ(CWndSelectFile::FindCommentFiles(video),
              (std::vector<std::wstring>{PathOf(L"動画(sm9)[past].xml"), PathOf(L"動画(sm9).xml")}));

    struct Case {
        bool selectLatest;
        int button; // 0: no list is shown
        std::wstring answer;
    };
    const Case cases[] = {
        {false, IDOK, PathOf(L"動画(sm9)[past].xml")},
        {false, IDCANCEL, L"CANCEL"},
        {true, 0, PathOf(L"動画(sm9)[past].xml")},
    };
    for (const Case& c : cases) {
        GetAppSettings().SelectLatestComment = c.selectLatest;
        MessageBoxAnswerer answerer({c.button == 0 ? IDOK : c.button});
        CWndSelectFile chooser;
        EXPECT_EQ(chooser.Choose(nullptr, video), c.answer) << c.button;
        EXPECT_EQ(answerer.Seen().size(), c.button == 0 ? 0u : 1u) << c.button;
        if (c.button != 0 && !answerer.Seen().empty()) {
            EXPECT_EQ(answerer.Seen()[0].caption, L"コメントファイルの選択");
        }
    }

    // With a single file nothing is asked; without any the answer is empty.
    DeleteFileW(PathOf(L"動画(sm9).xml").c_str());
    EXPECT_EQ(CWndSelectFile().Choose(nullptr, video), PathOf(L"動画(sm9)[past].xml"));
    DeleteFileW(PathOf(L"動画(sm9)[past].xml").c_str());
    EXPECT_EQ(CWndSelectFile().Choose(nullptr, video), L"");
}

} // namespace
