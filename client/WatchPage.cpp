#include "client/WatchPage.h"

#include "client/ServiceUrls.h"
#include "client/StringBetween.h"
#include "client/VideoUrls.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Exception.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"

namespace {

bool Contains(const std::wstring& text, const std::wstring& piece) {
    return text.find(piece) != std::wstring::npos;
}

// "$" and "\" are the format string's own characters; escaped, the text is copied as it is.
std::wstring EscapeFormat(const std::wstring& text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'$' || c == L'\\') {
            escaped += L'\\';
        }
        escaped += c;
    }
    return escaped;
}

} // namespace

std::wstring GetTitle(const std::wstring& page) {
    std::vector<std::wstring> groups;
    if (!RegexSearch(page, L"<title>(.*?)( ‐ |‐).*</title>", groups)) {
        DebugLog() << L"GetTitle() : " << L"RegexSearch" << EndLine;
        return std::wstring();
    }
    if (groups[1].empty()) {
        DebugLog() << L"GetTitle() : " << L"empty" << EndLine;
    }
    return groups[1];
}

bool ReplacePageTitle(std::wstring& page, const std::wstring& title) {
    return RegexReplace(page, L"<title>.*( ‐ .*?</title>)", L"<title>" + EscapeFormat(title) + L"$1");
}

std::vector<std::wstring> GetTags(const std::wstring& page) {
    std::vector<std::wstring> tags;
    RegexGrep(1, page, L"<a href=\"tag/[^>]*>([^<]*)</a>&nbsp", tags);
    return tags;
}

std::wstring GetContributorComment(const std::wstring& page) {
    static const wchar_t* const kPatterns[] = {
        L"<!--↓動画説明文↓-->.*"
        L"<!-- google_ad_section_start -->\\r?\\n"
        L"([^\\n\\r]*)\\r?\\n?"
        L"<!-- google_ad_section_end -->\\r?\\n"
        L".*<!--↑動画説明文↑-->\\r?\\n",
        L"<p class=\"video_title\"><!-- google_ad_section_start -->([^\\n\\r]*)<!-- google_ad_section_end -->",
        L"<!--html--><p[^>]*>(.*?)</p><!--html-->",
    };
    std::vector<std::wstring> groups;
    for (const wchar_t* pattern : kPatterns) {
        if (RegexSearch(page, pattern, groups)) {
            return groups[1];
        }
    }
    VELA_THROW(L"!GetContributorComment", 0);
}

std::wstring GetCategory(const std::wstring& page) {
    return GetStringBetween(page, L"so.addVariable(\"category\", \"", L"\");");
}

std::wstring GetMovieType(const std::wstring& page) {
    return GetStringBetween(GetStringBetween(page, L"so.addVariable(\"movie_type\",", L");"), L"\"", L"\"");
}

bool GetBgmList(const std::wstring& page, std::vector<std::wstring>& out, const std::wstring& country) {
    out.clear();
    std::wstring bgms = GetStringBetween(page, L"so.addVariable(\"bgms\",", L");");
    ReplaceAll(bgms, L"%2C", L",");
    return !bgms.empty() && ExtractVideoUrls(bgms, out, country);
}

bool HasOwnerThread(const std::wstring& page) {
    return Contains(page, L"so.addVariable(\"has_owner_thread\", \"1\");");
}

bool HasPlayerSwf(const std::wstring& page) {
    return Contains(page, L"velaplayer.swf");
}

std::wstring GetVideoMember(const std::wstring& page, const std::wstring& name) {
    // Bounded in front, so that "id" is not read out of "thread_id".
    const std::wstring pattern = L"var Video = \\{\\r?\\n.*?(?<![A-Za-z0-9_])" + name + L":[ \\t]*(.*?),\\r?\\n.*?\\};";
    std::wstring value = GetRegexGroup(pattern, page, 1);
    if (!value.empty() && (value.front() == L'[' || value.front() == L'\'')) {
        value = value.size() < 2 ? std::wstring() : value.substr(1, value.size() - 2);
    }
    return value;
}

bool IsAccessThrottled(const std::wstring& page) {
    return Contains(GetServiceMessage(page, true), L"短時間での連続アクセスはご遠慮ください");
}

bool CheckLoginPage(const std::wstring& page) {
    if (Contains(page, GetSecureLoginUrl())) {
        DebugLog() << L"ログイン状態を確認できませんでした" << EndLine;
        return false;
    }
    return true;
}

std::wstring GetServiceMessage(const std::wstring& page, bool quiet) {
    std::wstring body = GetStringBetween(page, L"<p class=\"font12\">", L"</p>");
    std::wstring heading;
    if (body.size() >= 2) {
        ReplaceAll(body, L"<br>", L"\n");
        // Each pass removes every copy of the first tag left, so the loop ends.
        for (std::wstring tag; !(tag = GetStringBetween(body, L"<", L">")).empty();) {
            ReplaceAll(body, L"<" + tag + L">", L"");
        }
        heading = GetStringBetween(page, L"<h1>", L"</h1>");
        if (!quiet) {
            DebugLog() << L"◆ベラベラ動画：" << heading << L" : " << body << EndLine;
        }
    }
    return heading + L" : " + body;
}

std::wstring GetMovieName(const std::wstring& page) {
    return GetVideoMember(page, L"v");
}

bool GetRawTitle(std::wstring& page, const std::wstring& title) {
    if (GetRegexGroup(L"<title>.*( ‐ .*?</title>)", page, 0).empty()) {
        return false;
    }
    return ReplacePageTitle(page, title);
}

bool IsMymemory(const std::wstring& page) {
    const std::wstring value = GetVideoMember(page, L"isMymemory");
    return value == L"true" || value == L"1";
}
