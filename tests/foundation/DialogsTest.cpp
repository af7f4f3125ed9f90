#include "foundation/Dialogs.h"

#include "foundation/StringUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <atomic>
#include <functional>
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

namespace {

// On a thread of its own: waits for the process's dialog (visible, and ready when a test says what
// that is) and presses the button.
class DialogPresser {
public:
    explicit DialogPresser(int button, std::function<bool(HWND dialog)> ready = nullptr)
        : m_thread([this, button, ready] {
              // A busy machine slows Wine's folder dialog a lot (it walks the shell's folders to its
              // start folder): up to 30 s for it to be ready, then the button is pressed anyway, so
              // that a dialog that never got ready fails its test instead of holding it open.
              HWND seen = nullptr;
              for (int i = 0; i < 1500; ++i) {
                  HWND dialog = testing_support::FindMessageBox();
                  if (dialog != nullptr && IsWindowVisible(dialog)) {
                      seen = dialog;
                  }
                  if (dialog == nullptr || !IsWindowVisible(dialog) || (ready && !ready(dialog))) {
                      Sleep(20);
                      continue;
                  }
                  SendMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
                  pressed = true;
                  return;
              }
              if (seen != nullptr && IsWindow(seen)) {
                  SendMessageW(GetDlgItem(seen, button), BM_CLICK, 0, 0);
                  notReady = true;
              }
          }) {}
    ~DialogPresser() { Join(); }
    void Join() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    std::atomic<bool> pressed{false};
    // The dialog showed but never got ready; its button was pressed at the end of the wait.
    std::atomic<bool> notReady{false};

private:
    std::thread m_thread;
};

class DialogFolderTest : public testing_support::TempFolderTest {
protected:
    std::wstring FolderLeaf() const {
        const std::wstring folder = Folder();
        return folder.substr(folder.find_last_of(L'\\') + 1);
    }
};

// The text of the folder dialog's selected tree item (sent from another thread of the process).
std::wstring SelectedTreeText(HWND dialog) {
    HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
    for (HWND child = nullptr; tree == nullptr && (child = FindWindowExW(dialog, child, nullptr, nullptr)) != nullptr;) {
        tree = FindWindowExW(child, nullptr, WC_TREEVIEWW, nullptr);
    }
    if (tree == nullptr) {
        return std::wstring();
    }
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (item == nullptr) {
        return std::wstring();
    }
    wchar_t text[MAX_PATH] = {};
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

} // namespace

TEST_F(DialogFolderTest, SaveDialogGivesTheInitialNameInTheFolderItShows) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(Folder().c_str());
    struct Case {
        int button;
        bool chosen;
        std::wstring path;
    };
    const Case cases[] = {
        {IDOK, true, PathOf(L"保存 1.m3u")},
        {IDCANCEL, false, L"unchanged"},
    };
    for (const Case& c : cases) {
        std::wstring path = L"unchanged";
        DialogPresser presser(c.button);
        const bool chosen = ShowSaveFileDialog(L"保存 1.m3u", {{L"プレイリスト", L"*.m3u"}}, nullptr, path);
        presser.Join();
        ASSERT_TRUE(presser.pressed) << "no dialog appeared";
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(ToLower(path), ToLower(c.path));
    }
    SetCurrentDirectoryW(current);
}

TEST_F(DialogFolderTest, FolderDialogGivesTheChosenFolderOrTrueWithAnEmptyPathWhenCancelled) {
    struct Case {
        int button;
        std::wstring path;
    };
    const Case cases[] = {
        {IDOK, Folder()},
        {IDCANCEL, L""},
    };
    for (const Case& c : cases) {
        std::wstring path = L"unchanged";
        // Wine's folder dialog selects its start folder some time after it shows: OK waits for that.
        std::function<bool(HWND)> ready;
        if (c.button == IDOK) {
            // Wine's dialog sometimes never gets to the start folder its callback selects (it stops
            // walking the shell's folders at a drive it cannot read): the folder is selected once
            // more from here, as a user would pick it, and OK is pressed once it is selected.
            const std::wstring folder = Folder();
            ready = [this, folder, asked = false](HWND dialog) mutable {
                if (!asked) {
                    asked = true;
                    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
                }
                return SelectedTreeText(dialog) == FolderLeaf();
            };
        }
        DialogPresser presser(c.button, ready);
        const bool result = ShowFolderDialog(L"保存先フォルダ", Folder(), nullptr, path, BIF_RETURNONLYFSDIRS);
        presser.Join();
        ASSERT_FALSE(presser.notReady) << "the dialog never selected its start folder";
        ASSERT_TRUE(presser.pressed) << "no dialog appeared";
        EXPECT_TRUE(result);
        EXPECT_EQ(ToLower(path), ToLower(c.path));
    }
}
