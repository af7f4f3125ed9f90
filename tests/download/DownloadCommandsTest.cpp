#include "CWndDownload/DownloadCommands.h"

#include "CWndDownload/DownloadListRow.h"
#include "CWndDownload/DownloadResource.h"
#include "client/ServiceUrls.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<bool> Selection(int count, const std::vector<int>& rows) {
    std::vector<bool> selected(count);
    for (int row : rows) {
        selected[row] = true;
    }
    return selected;
}

TEST(DownloadCommandsTest, RowMovePlans) {
    struct Case {
        const char* name;
        int count;
        std::vector<int> selected;
        int target;
        std::vector<int> order;
        int firstPlaced;
    };
    const Case cases[] = {
        {"one up", 5, {2}, 1, {0, 2, 1, 3, 4}, 1},
        {"block down", 5, {1, 2}, 2, {0, 3, 1, 2, 4}, 2},
        {"to the last row appends in order", 5, {0, 2}, 4, {1, 3, 4, 0, 2}, 3},
        {"beyond the remaining rows goes before the last of them", 5, {0, 1, 2}, 3, {3, 0, 1, 2, 4}, 1},
        {"scattered rows gather", 6, {0, 3, 5}, 1, {1, 0, 3, 5, 2, 4}, 1},
        {"everything selected stays", 3, {0, 1, 2}, 0, {0, 1, 2}, 0},
        {"no selection", 3, {}, 1, {0, 1, 2}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DownloadRowMove move = PlanDownloadRowMove(Selection(c.count, c.selected), c.target);
        EXPECT_EQ(move.order, c.order);
        EXPECT_EQ(move.firstPlaced, c.firstPlaced);
        EXPECT_EQ(move.movedCount, static_cast<int>(c.selected.size()));
    }
}

TEST(DownloadCommandsTest, UrlBoxCheck) {
    struct Case {
        const wchar_t* text;
        bool enabled;
        const wchar_t* replacement; // null: the text stays
    };
    const Case cases[] = {
        {L"sm1234", true, nullptr},
        {L"http://www.example.com/mylist/1", true, nullptr},
        {L"https://www.example.com/", false, nullptr},
        {L"hello", false, nullptr},
        {L"sm9", false, nullptr}, // one digit is no video ID
        {L"", false, nullptr},
        {L"sm1234 log=\"2010/01/02 03:04:05\"", true, nullptr},
        {L"sm1234 log=\"2008/1/2\"", true, nullptr},
        {L"sm1234 log=1234567890", true, nullptr},
        {L"sm1234 log=", true, nullptr},
        {L"sm1234 log=\"tomorrow\"", false, nullptr},
        {L"sm1234 log=\"2006/9/30\"", false, nullptr},
        {L"sm1234 log=\"2099/1/1\"", false, nullptr},
        // No blank between month and day in the five-field form.
        {L"sm1234 log=\"2010/1 2 3:4\"", false, nullptr},
        {L"sm1234\r\n", true, L"sm1234"},
        {L"s\nm1234 -thumbnail", true, L"sm1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        const UrlBoxCheck check = CheckUrlBoxText(c.text);
        EXPECT_EQ(check.addEnabled, c.enabled);
        EXPECT_EQ(check.replaceText, c.replacement != nullptr);
        if (c.replacement != nullptr) {
            EXPECT_EQ(check.replacement, c.replacement);
        }
    }
    testing_support::ClearLog();
    EXPECT_FALSE(IsPastLogOptionValid(L"log=\"x\"", false));
    EXPECT_NE(testing_support::LogText().find(L"log=の値が正しくありません"), std::wstring::npos);
}

TEST(DownloadCommandsTest, PastLogOptionReplacesAnEarlierOne) {
    SYSTEMTIME time = {};
    time.wYear = 2011;
    time.wMonth = 2;
    time.wDay = 3;
    time.wHour = 4;
    time.wMinute = 5;
    time.wSecond = 6;
    const std::wstring option = MakePastLogOption(time);
    EXPECT_EQ(option, L"log=\"2011/02/03 04:05:06\"");

    struct Case {
        const wchar_t* text;
        const wchar_t* result;
    };
    const Case cases[] = {
        {L"sm9", L"sm9 log=\"2011/02/03 04:05:06\""},
        {L"sm9 ", L"sm9 log=\"2011/02/03 04:05:06\""},
        {L"sm9 log=\"2009/01/01\" -x", L"sm9 log=\"2011/02/03 04:05:06\" -x"},
        {L"sm9 log=\"\"", L"sm9 log=\"\" log=\"2011/02/03 04:05:06\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        const PastLogEdit edit = ApplyPastLogOption(c.text, option);
        EXPECT_EQ(edit.text, c.result);
        EXPECT_EQ(edit.text.substr(edit.selectionStart, edit.selectionEnd - edit.selectionStart),
                  L"2011/02/03 04:05:06");
    }
    // Pressing the button twice keeps one option.
    const PastLogEdit twice = ApplyPastLogOption(ApplyPastLogOption(L"sm9", option).text, option);
    EXPECT_EQ(twice.text, L"sm9 log=\"2011/02/03 04:05:06\"");
}

TEST(DownloadCommandsTest, CopyLines) {
    const DownloadCopyRow id = {L"タイトル", L"sm9", L"tw", L"C:\\v\\タイトル(sm9).mp4"};
    const DownloadCopyRow digits = {L"", L"1234567", L"", L""};
    const DownloadCopyRow page = {DownloadTitlePlaceholder(), L"http://www.example.com/mylist/1", L"", L""};
    struct Case {
        UINT command;
        const DownloadCopyRow& row;
        std::wstring line;
    };
    const Case cases[] = {
        {IDM_DL_COPY_ID, id, L"sm9"},
        {IDM_DL_COPY_URL, id, GetWatchUrl(L"tw") + L"sm9"},
        {IDM_DL_COPY_URL_KEY, id, GetWatchUrl(L"tw") + L"sm9"},
        {IDM_DL_COPY_TITLE, id, L"タイトル"},
        {IDM_DL_COPY_FILE_NAME, id, L"タイトル(sm9).mp4"},
        {IDM_DL_COPY_FILE_PATH, id, L"C:\\v\\タイトル(sm9).mp4"},
        {IDM_DL_COPY_ID, digits, L"1234567"},
        {IDM_DL_COPY_URL, digits, GetWatchUrl(L"") + L"1234567"},
        {IDM_DL_COPY_ID, page, L""},
        {IDM_DL_COPY_URL_KEY, page, L"http://www.example.com/mylist/1"},
        {IDM_DL_COPY_TITLE, page, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.command << " " << testing::PrintToString(c.row.key));
        EXPECT_EQ(MakeDownloadCopyLine(c.command, c.row), c.line);
    }
}

TEST(DownloadCommandsTest, RowColours) {
    struct Case {
        WORD status;
        WORD flags;
        bool deleted;
        bool custom;
        COLORREF background;
        COLORREF selected;
    };
    const Case cases[] = {
        {kDownloadStatusDone, kDownloadKindEconomy, false, true, 0xB4FFB4, 0x509B50},
        {kDownloadStatusWaiting, kDownloadKindEconomy, false, true, 0xB4FFB4, 0x509B50},
        {kDownloadStatusDone, kDownloadKindVideo, false, true, 0xEBD9D2, 0x87756E},
        {kDownloadStatusError, 0, true, true, 0xAAAAFF, 0x46469B},
        {kDownloadStatusError, 0, false, true, 0xDCDCFF, 0x78789B},
        {kDownloadStatusWaiting, 0, false, false, 0, 0},
        {kDownloadStatusCancelled, 0, true, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << " " << c.flags << " " << c.deleted);
        const DownloadRowColour colour = GetDownloadRowColour(c.status, c.flags, c.deleted);
        EXPECT_EQ(colour.custom, c.custom);
        if (c.custom) {
            EXPECT_EQ(colour.background, c.background);
            EXPECT_EQ(colour.selectedBackground, c.selected);
        }
    }
}

TEST(DownloadCommandsTest, TitlesUsableInFileNames) {
    EXPECT_TRUE(IsTitleUsableInFileName(L"新しい題名 (2)"));
    for (const wchar_t* title : {L"", L"..\\up", L"a/b", L"a:b", L"a*", L"a?", L"a\"b", L"a<b>", L"a|b", L"a\nb"}) {
        EXPECT_FALSE(IsTitleUsableInFileName(title)) << testing::PrintToString(std::wstring(title));
    }
}

} // namespace
