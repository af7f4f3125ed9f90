#include "foundation/Dialogs.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(DialogsTest, CancelledOpenFileDialogGivesFalseAndOffersTheFilters) {
    std::vector<std::wstring> offered;
    std::atomic<bool> cancelled{false};
    std::thread answerer([&] {
        for (int i = 0; i < 500 && !cancelled; ++i) {
            HWND dialog = testing_support::FindMessageBox();
            if (dialog == nullptr) {
                Sleep(20);
                continue;
            }
            HWND types = GetDlgItem(dialog, cmb1);
            const int count = static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0));
            for (int item = 0; item < count; ++item) {
                wchar_t text[256] = {};
                SendMessageW(types, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text));
                offered.push_back(text);
            }
            SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            cancelled = true;
        }
    });

    std::wstring path = L"unchanged";
    const bool chosen =
        ShowOpenFileDialog(nullptr, path, {{L"コメントファイル", L"*.xml"}, {L"すべてのファイル(*.*)", L"*.*"}});
    answerer.join();

    ASSERT_TRUE(cancelled) << "no dialog appeared";
    EXPECT_FALSE(chosen);
    EXPECT_EQ(path, L"unchanged");
    EXPECT_EQ(offered, (std::vector<std::wstring>{L"コメントファイル", L"すべてのファイル(*.*)"}));
}
