#include "engine/CCommentFilter.h"

#include "engine/CommentCommand.h"
#include "foundation/AppSettings.h"
#include "foundation/CSectionFile.h"
#include "foundation/PathUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ChatData Chat(const std::wstring& text, const std::wstring& userId = L"", const std::wstring& mail = L"",
              int64_t thread = 0, uint8_t deleted = 0) {
    ChatData chat;
    chat.text = text;
    chat.user_id = userId;
    chat.mail = mail;
    chat.thread = thread;
    chat.deleted = deleted;
    return chat;
}

// The two switches as a test sets them, put back afterwards.
class CCommentFilterTest : public testing_support::TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        m_saved = {GetAppSettings().EnableFilter, GetAppSettings().EnableLocalFilter};
        Switch(true, true);
    }
    void TearDown() override {
        Switch(m_saved.first, m_saved.second);
        TempFolderTest::TearDown();
    }
    static void Switch(bool filter, bool local) {
        GetAppSettings().EnableFilter = filter;
        GetAppSettings().EnableLocalFilter = local;
    }
    std::wstring FilterFile(const std::wstring& name,
                            const std::vector<std::pair<std::wstring, std::wstring>>& entries) {
        const std::wstring path = PathOf(name);
        for (const auto& entry : entries) {
            EXPECT_TRUE(AppendFilterEntry(path, entry.first, entry.second));
        }
        return path;
    }

private:
    std::pair<bool, bool> m_saved;
};

TEST_F(CCommentFilterTest, EachKindHidesWhatItNamesAndNothingElse) {
    CCommentFilter filter;
    filter.LoadFilterFiles({FilterFile(L"NG ワード.txt", {{filter_kind::kExcludeWord, L"ネタバレ"},
                                                          {filter_kind::kExcludeWord, L"Spoiler"}}),
                            FilterFile(L"NG ID.txt", {{filter_kind::kExcludeId, L"troll"}}),
                            FilterFile(L"NG コマンド.txt", {{filter_kind::kExcludeCommand, L"big red"}}),
                            FilterFile(L"thread.txt", {{filter_kind::kExcludeThread, L"42"}}), PathOf(L"missing.txt")});
    struct Case {
        ChatData chat;
        bool allowed;
    };
    const Case cases[] = {
        {Chat(L"普通のコメント", L"someone"), true},
        {Chat(L"これはネタバレです"), false},
        {Chat(L"a SPOILER ahead"), false}, // letters compared without case
        {Chat(L"ネタ バレ"), true},
        {Chat(L"hi", L"troll"), false},
        {Chat(L"hi", L"trolls"), true}, // IDs are whole
        {Chat(L"hi", L"xtroll"), true},
        {Chat(L"hi", L"Troll"), true},
        {Chat(L"hi", L"", L"184 big red ue"), false}, // every word of the entry, in any order
        {Chat(L"hi", L"", L"red"), true},
        {Chat(L"hi", L"", L"big reds"), true},
        {Chat(L"hi", L"", L"", 42), false},
        {Chat(L"hi", L"", L"", 420), true},
        {Chat(L"hi", L"", L"", 0, 1), false}, // a deleted comment never shows
    };
    for (const Case& c : cases) {
        ChatData chat = c.chat;
        EXPECT_EQ(filter.IsCommentAllowed(chat), c.allowed)
            << testing::PrintToString(c.chat.text + L"|" + c.chat.user_id + L"|" + c.chat.mail);
    }
}

TEST_F(CCommentFilterTest, HidingAUserHidesOnlyThatUser) {
    const std::wstring path = PathOf(L"NG ID.txt");
    // Blank and empty lines, as hand-edited files have them, name no user.
    CSectionFile(path).SetSection(filter_kind::kExcludeId, L"\n  \nuser-b\n\n");
    CCommentFilter filter;
    filter.LoadFilterFiles({path});
    for (const wchar_t* user : {L"user-a", L"user-b", L"user-c", L"", L"user-b2", L" user-b"}) {
        ChatData chat = Chat(L"text", user);
        EXPECT_EQ(filter.IsCommentAllowed(chat), std::wstring(user) != L"user-b") << testing::PrintToString(user);
    }
}

TEST_F(CCommentFilterTest, IncludeEntriesKeepWhatAnExcludeWouldHide) {
    CCommentFilter filter;
    filter.LoadFilterFiles({FilterFile(L"f.txt", {{filter_kind::kExcludeCommand, L"big"},
                                                  {filter_kind::kExcludeWord, L"www"},
                                                  {filter_kind::kIncludeId, L"friend"},
                                                  {filter_kind::kIncludeWord, L"大事"},
                                                  {filter_kind::kIncludeCommand, L"ue"}})});
    struct Case {
        ChatData chat;
        bool allowed;
    };
    const Case cases[] = {
        {Chat(L"www", L"stranger", L"big"), false},
        {Chat(L"www", L"friend", L"big"), true},
        {Chat(L"大事なwww"), true},
        {Chat(L"www", L"", L"big ue"), true},
        {Chat(L"www", L"friend", L"", 0, 1), false},
    };
    for (const Case& c : cases) {
        ChatData chat = c.chat;
        EXPECT_EQ(filter.IsCommentAllowed(chat), c.allowed)
            << testing::PrintToString(c.chat.text + L"|" + c.chat.user_id);
    }
}

TEST_F(CCommentFilterTest, SwitchesDecideWhichListsApply) {
    const std::wstring commentPath = PathOf(L"タイトル(sm123).xml");
    EXPECT_EQ(GetLocalFilterPath(commentPath), PathOf(L"sm123.ngfilter"));
    AppendFilterEntry(GetLocalFilterPath(commentPath), filter_kind::kExcludeWord, L"local");
    CCommentFilter filter;
    filter.LoadFilterFiles({FilterFile(L"global.txt", {{filter_kind::kExcludeWord, L"global"}})});
    filter.LoadLocalFilter(commentPath);

    struct Case {
        bool filterOn;
        bool localOn;
        bool globalShown;
        bool localShown;
    };
    const Case cases[] = {
        {true, true, false, false},
        {true, false, false, true},
        {false, true, true, true},
        {false, false, true, true},
    };
    for (const Case& c : cases) {
        Switch(c.filterOn, c.localOn);
        ChatData global = Chat(L"global");
        ChatData local = Chat(L"local");
        ChatData deleted = Chat(L"x", L"", L"", 0, 1);
        EXPECT_EQ(filter.IsCommentAllowed(global), c.globalShown) << c.filterOn << c.localOn;
        EXPECT_EQ(filter.IsCommentAllowed(local), c.localShown) << c.filterOn << c.localOn;
        EXPECT_FALSE(filter.IsCommentAllowed(deleted));
    }

    filter.LoadLocalFilter(L"");
    Switch(true, true);
    ChatData local = Chat(L"local");
    EXPECT_TRUE(filter.IsCommentAllowed(local));
}

TEST_F(CCommentFilterTest, FilterIsEmptyWithoutExcludeEntries) {
    CCommentFilter filter;
    EXPECT_TRUE(filter.IsFilterEmpty());
    filter.LoadFilterFiles(
        {FilterFile(L"keep.txt", {{filter_kind::kIncludeId, L"a"}, {filter_kind::kReplaceCommand, L"x\ty"}})});
    EXPECT_TRUE(filter.IsFilterEmpty());
    const std::wstring commentPath = PathOf(L"local.xml");
    AppendFilterEntry(GetLocalFilterPath(commentPath), filter_kind::kExcludeId, L"b");
    filter.LoadLocalFilter(commentPath);
    EXPECT_FALSE(filter.IsFilterEmpty());
    filter.ClearFilters();
    EXPECT_TRUE(filter.IsFilterEmpty());
    filter.LoadFilterFiles({FilterFile(L"thread.txt", {{filter_kind::kExcludeThread, L"7"}})});
    EXPECT_FALSE(filter.IsFilterEmpty());
}

TEST_F(CCommentFilterTest, ReplaceRulesChangeTextAndCommandBeforeTheTests) {
    CCommentFilter filter;
    filter.LoadFilterFiles({FilterFile(L"replace.txt", {{filter_kind::kReplaceWord, L"w{3,}\tw"},
                                                        {filter_kind::kReplaceCommand, L"\\bbig\\b\tsmall"},
                                                        {filter_kind::kReplaceCommand, L"(unclosed\tx"},
                                                        {filter_kind::kExcludeCommand, L"small shita"}})});
    ChatData chat = Chat(L"草wwwwww生えるww", L"", L"big ue");
    EXPECT_TRUE(filter.IsCommentAllowed(chat));
    EXPECT_EQ(chat.text, L"草w生えるww");
    EXPECT_EQ(chat.mail, L"small ue");
    ChatData hidden = Chat(L"x", L"", L"shita big");
    EXPECT_FALSE(filter.IsCommentAllowed(hidden));
}

TEST_F(CCommentFilterTest, TheDefaultFilesAreValidFilterFiles) {
    const std::wstring folder = GetProgramFolder();
    // The test program runs from build/<target>/bin; the files lie at the root of the sources.
    const std::wstring archive = GetAbsolutePath(folder, L"..\\..\\..\\archive\\default\\filter", false);
    const std::vector<std::wstring> files = ListFilterFiles(archive);
    ASSERT_EQ(files.size(), 2u) << testing::PrintToString(archive);

    CCommentFilter black;
    black.LoadFilterFiles({archive + L"\\通常コメントを黒色表示.txt"});
    struct Case {
        const wchar_t* mail;
        COLORREF colour;
    };
    const Case cases[] = {
        {L"", RGB(0, 0, 0)},       {L"184 ue big", RGB(0, 0, 0)},       {L"white", RGB(0, 0, 0)},
        {L"red", RGB(0xFF, 0, 0)}, {L"shita #00FF00", RGB(0, 0xFF, 0)}, {L"184 crimson", RGB(0xCC, 0x00, 0x33)},
    };
    for (const Case& c : cases) {
        ChatData chat = Chat(L"text", L"", c.mail);
        EXPECT_TRUE(black.IsCommentAllowed(chat));
        EXPECT_EQ(ParseCommandColor(chat.mail), c.colour) << testing::PrintToString(std::wstring(c.mail));
        EXPECT_EQ(ParseCommandFlags(chat.mail), ParseCommandFlags(c.mail));
    }

    CCommentFilter world;
    world.LoadFilterFiles({archive + L"\\世界の新着動画のコメントを表示しない.txt"});
    ChatData chat = Chat(L"text", L"user", L"");
    EXPECT_TRUE(world.IsCommentAllowed(chat));
}

TEST_F(CCommentFilterTest, AppendFilterEntryAddsALineToTheKindsSection) {
    const std::wstring path = PathOf(L"NG ワード.txt");
    EXPECT_TRUE(AppendFilterEntry(path, filter_kind::kExcludeWord, L"一つ目"));
    EXPECT_TRUE(AppendFilterEntry(path, filter_kind::kExcludeId, L"id1"));
    EXPECT_TRUE(AppendFilterEntry(path, filter_kind::kExcludeWord, L"[二つ目]"));
    EXPECT_EQ(CSectionFile(path).ReadSectionLines(filter_kind::kExcludeWord, true),
              (std::vector<std::wstring>{L"一つ目", L"[二つ目]"}));
    EXPECT_EQ(CSectionFile(path).ReadSectionLines(filter_kind::kExcludeId, true), std::vector<std::wstring>{L"id1"});

    EXPECT_FALSE(AppendFilterEntry(path, L"Exclude Words", L"x"));
    EXPECT_FALSE(AppendFilterEntry(path, filter_kind::kExcludeWord, L""));
    EXPECT_FALSE(AppendFilterEntry(path, filter_kind::kExcludeWord, L"two\nlines"));
    EXPECT_FALSE(AppendFilterEntry(PathOf(L"no folder\\file.txt"), filter_kind::kExcludeWord, L"x"));

    CCommentFilter filter;
    filter.LoadFilterFiles(ListFilterFiles(Folder()));
    ChatData chat = Chat(L"[二つ目]");
    EXPECT_FALSE(filter.IsCommentAllowed(chat));
    EXPECT_EQ(GetLocalFilterPath(L"C:\\v\\comments.xml"), L"C:\\v\\comments.ngfilter");
}

} // namespace
