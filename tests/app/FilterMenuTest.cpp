#include "app/FilterMenu.h"

#include "app/MainWindow.h"
#include "app/resource.h"
#include "engine/CCommentFilter.h"
#include "foundation/AppSettings.h"
#include "foundation/Handles.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class FilterMenuTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_saved = GetAppSettings();
        GetAppSettings().filterFolder = PathOf(L"filter");
        GetAppSettings().FilterFile.clear();
        GetAppSettings().EnableFilter = true;
        m_bar.Reset(CreateMenu());
        HMENU popup = CreatePopupMenu();
        AppendMenuW(popup, MF_STRING, IDM_ENABLE_FILTER, L"NG");
        AppendMenuW(m_bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Filter");
    }
    void TearDown() override {
        GetCommentFilter().ClearFilters();
        GetAppSettings() = m_saved;
        TempFolderTest::TearDown();
    }

    static bool Allowed(const wchar_t* user) {
        ChatData chat;
        chat.text = L"text";
        chat.user_id = user;
        return GetCommentFilter().IsCommentAllowed(chat);
    }
    UINT ItemState(UINT command) const { return GetMenuState(GetSubMenu(m_bar.Get(), 0), command, MF_BYCOMMAND); }

    CMenuHandle m_bar;

private:
    AppSettings m_saved;
};

TEST_F(FilterMenuTest, OffListNamesTheFilesSwitchedOff) {
    struct Case {
        const wchar_t* offList;
        const wchar_t* name;
        bool on;
        const wchar_t* switchedOff;
        const wchar_t* switchedOn;
    };
    const Case cases[] = {
        {L"", L"NG ID.txt", true, L"NG ID.txt", L""},
        {L"NG ID.txt", L"ng id.TXT", false, L"ng id.TXT", L""},
        {L"a.txt|NG ID.txt|b.txt", L"NG ID.txt", false, L"a.txt|b.txt|NG ID.txt", L"a.txt|b.txt"},
        {L"NG ID.txt.bak", L"NG ID.txt", true, L"NG ID.txt.bak|NG ID.txt", L"NG ID.txt.bak"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsFilterFileOn(c.name, c.offList), c.on) << c.offList;
        EXPECT_EQ(SetFilterFileOn(c.name, false, c.offList), c.switchedOff) << c.offList;
        EXPECT_EQ(SetFilterFileOn(c.name, true, c.offList), c.switchedOn) << c.offList;
    }
}

TEST_F(FilterMenuTest, EntriesGoToTheirFileAndTheMenuSwitchesFiles) {
    // The first entry makes the file, which gets its checked item, and is in force at once.
    AddFilterEntry(m_bar.Get(), {nullptr, L"Exclude ID", L"NG ID.txt", L"ng_user_example", 1});
    EXPECT_EQ(ItemState(IDM_FILTER_FIRST) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
    EXPECT_FALSE(Allowed(L"ng_user_example"));

    ToggleFilterFile(m_bar.Get(), IDM_FILTER_FIRST);
    EXPECT_EQ(GetAppSettings().FilterFile, L"NG ID.txt");
    EXPECT_EQ(ItemState(IDM_FILTER_FIRST) & MF_CHECKED, 0u);
    EXPECT_TRUE(Allowed(L"ng_user_example"));

    // An entry for a file that is off asks to switch it on; No leaves it off, Yes switches it on.
    for (const int answer : {IDNO, IDYES}) {
        MessageBoxAnswerer answerer({answer});
        AddFilterEntry(m_bar.Get(), {nullptr, L"Exclude ID", L"NG ID.txt", L"other_user", 1});
        ASSERT_TRUE(answerer.WaitForCount(1));
        EXPECT_EQ(answerer.Seen()[0].text, L"現在フィルタの設定は無効になっています。設定を有効にしますか？");
        EXPECT_EQ(Allowed(L"other_user"), answer == IDNO);
    }
    EXPECT_FALSE(Allowed(L"ng_user_example"));
    EXPECT_EQ(GetAppSettings().FilterFile, L"");

    // Files are listed by name; switching the second leaves the first alone.
    WriteBytes(PathOf(L"filter\\A.txt"), "");
    BuildFilterMenu(m_bar.Get());
    ToggleFilterFile(m_bar.Get(), IDM_FILTER_FIRST + 1);
    EXPECT_EQ(GetAppSettings().FilterFile, L"NG ID.txt");
    EXPECT_FALSE(IsFilterFileOn(L"NG ID.txt", GetAppSettings().FilterFile));
    EXPECT_EQ(ItemState(IDM_FILTER_FIRST) & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
}

} // namespace
