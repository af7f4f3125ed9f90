#include "app/CloseRules.h"

#include "CWndDownload/CWndDownload.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

using CloseRulesTest = TempFolderTest;

TEST_F(CloseRulesTest, RunningDownloadsAskAndAnOpenSettingsSheetRefuses) {
    CWndDownload& download = GetDownloadWindow();
    // The window saves its settings and list beside the settings file when it goes.
    download.Init(L"VelaPlayer", PathOf(L"velaplayer.ini"), nullptr);
    const std::wstring question = L"ダウンロード実行中です。\nダウンロードを中断してソフトを終了してもよろしいですか？";
    const std::wstring notice = L"ダウンロードウィンドウの設定ダイアログが開かれたままです。";
    struct Case {
        CloseConditions conditions;
        int button;
        bool refused;
        std::vector<std::wstring> boxes;
    };
    const Case cases[] = {
        {{false, false, false}, IDOK, false, {}},
        {{true, false, false}, IDNO, true, {question}},
        {{true, false, false}, IDYES, false, {question}},
        {{true, true, false}, IDOK, false, {}}, // "-exitforce": no question
        {{false, false, true}, IDOK, true, {notice}},
        {{true, false, true}, IDYES, true, {question, notice}},
    };
    for (const Case& c : cases) {
        MessageBoxAnswerer answerer({c.button, IDOK});
        EXPECT_EQ(IsCloseRefused(c.conditions, nullptr, download), c.refused);
        std::vector<std::wstring> seen;
        for (const SeenMessageBox& box : answerer.Seen()) {
            EXPECT_EQ(box.caption, L"VelaPlayer");
            seen.push_back(box.text);
        }
        EXPECT_EQ(seen, c.boxes) << c.conditions.downloadRunning << c.conditions.exitForced
                                 << c.conditions.settingsSheetOpen;
        // The question is asked over the download window, which is shown for it.
        EXPECT_EQ(download.GetHandle() != nullptr && IsWindowVisible(download.GetHandle()),
                  !c.boxes.empty() && c.boxes[0] == question);
        if (download.GetHandle() != nullptr) {
            ShowWindow(download.GetHandle(), SW_HIDE);
        }
    }
    download.Destroy();
}

} // namespace
