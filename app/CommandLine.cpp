#include "app/CommandLine.h"

#include "app/resource.h"
#include "CWndDownload/DownloadListRow.h"

#include "foundation/AppSettings.h"
#include "foundation/CBaseDebug.h"
#include "foundation/Exception.h"
#include "foundation/PrivateMessages.h"
#include "foundation/PathUtil.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"
#include "foundation/TextFile.h"

#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <exception>

namespace {

const wchar_t* const kKindWords[] = {L"player", L"playlist", L"videoinfo", L"info", L"get", L"sendmsg", L"other"};

std::atomic<bool> g_exitForced{false};

bool IsKindWord(const std::wstring& word) {
    return std::find_if(std::begin(kKindWords), std::end(kKindWords),
                        [&](const wchar_t* kind) { return word == kind; }) != std::end(kKindWords);
}

bool Has(const CommandArgs& group, const wchar_t* option) {
    return ContainsString(group, option);
}

std::wstring Value(const CommandArgs& group, const wchar_t* key, const wchar_t* defaultValue) {
    return GetArgValueFirst(group, key, defaultValue);
}

// No video runs for a day; a shift inside it keeps every comment time plus the shift inside 32 bits.
constexpr long long kMaxShiftMs = 24LL * 60 * 60 * 1000;

enum class Outside { Clamp, Refuse };

// A number that any process may put on a command line: where it lies when valid, and what a value
// outside that range gets: clamped into it, or refused with one log line (the option then does nothing).
struct NumberRule {
    const wchar_t* option; // kind and option, for the log line
    const wchar_t* key;
    const wchar_t* defaultValue;
    long long low;
    long long high;
    Outside outside;
};

enum NumberId {
    kSeekPosPercent,
    kSeekPercent,
    kSeekPos,
    kShiftTime,
    kVolumePercent,
    kAlphaPercent,
    kSendMessage,
    kSendWParam,
    kSendLParam,
    kNumberCount
};

const NumberRule kNumberRules[] = {
    {L"player -seek", L"pos_percent=", L"0", 0, 100, Outside::Refuse},
    {L"player -seek", L"percent=", L"0", 0, 100, Outside::Refuse},
    // The end of the media, once its length is known, is a further bound the seek clamps to.
    {L"player -seek", L"pos=", L"0", 0, INT32_MAX, Outside::Refuse},
    // The total after adding it is held to the same range.
    {L"player -shift", L"time=", L"0", -kMaxShiftMs, kMaxShiftMs, Outside::Refuse},
    {L"player -volume", L"percent=", L"0", 0, 100, Outside::Clamp},
    {L"player -commentalpha", L"percent=", L"100", 0, 100, Outside::Clamp},
    // Above 0xFFFF the numbers are the system's own.
    {L"sendmsg", L"msg=", L"0", 0, 0xFFFF, Outside::Refuse},
    // The program is a 32-bit one: a parameter is 32 bits, signed or not.
    {L"sendmsg", L"wparam=", L"0", INT32_MIN, UINT32_MAX, Outside::Refuse},
    {L"sendmsg", L"lparam=", L"0", INT32_MIN, UINT32_MAX, Outside::Refuse},
};
static_assert(sizeof(kNumberRules) / sizeof(kNumberRules[0]) == kNumberCount, "one rule per number");

void LogOutOfRange(const NumberRule& rule, const std::wstring& given) {
    DebugLog() << L"コマンドライン : " << rule.option << L" " << rule.key << given << L" は範囲外です (" << rule.low
               << L"～" << rule.high << L")" << EndLine;
}

// The number of the rule's key in the group, clamped by the rule; false (and logged) when refused.
bool ReadNumber(const CommandArgs& group, NumberId id, long long& number) {
    const NumberRule& rule = kNumberRules[id];
    const std::wstring text = Value(group, rule.key, rule.defaultValue);
    number = ParseCommandNumber(text);
    if (number >= rule.low && number <= rule.high) {
        return true;
    }
    if (rule.outside == Outside::Clamp) {
        number = std::clamp(number, rule.low, rule.high);
        return true;
    }
    LogOutOfRange(rule, text);
    return false;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && ToLower(text.substr(0, prefix.size())) == prefix;
}

bool IsExistingFile(const std::wstring& path) {
    return FileExists(path) && !IsFolder(path);
}

void DispatchPlayer(const CommandArgs& group, CommandLineHost& host) {
    AppSettings& settings = GetAppSettings();
    if (Has(group, L"-play")) {
        if (host.IsGraphReady()) {
            host.Play();
        }
    } else if (Has(group, L"-pause")) {
        if (host.IsGraphReady()) {
            host.Pause();
        }
    } else if (Has(group, L"-stop")) {
        if (host.IsGraphReady()) {
            host.Stop();
        }
    } else if (Has(group, L"-prev")) {
        host.SendMainCommand(IDM_PREV_FILE);
    } else if (Has(group, L"-next")) {
        host.SendMainCommand(IDM_NEXT_FILE);
    } else if (Has(group, L"-seek")) {
        long long percent = 0;
        bool percentValid = ReadNumber(group, kSeekPosPercent, percent);
        if (percentValid && percent == 0) {
            percentValid = ReadNumber(group, kSeekPercent, percent);
        }
        long long position = 0;
        const bool positionValid = ReadNumber(group, kSeekPos, position);
        if (host.IsGraphReady()) {
            if (percentValid && percent != 0) {
                host.SeekPercent(static_cast<int>(percent));
            }
            if (positionValid && position != 0) {
                const long long duration = host.GetDurationMs();
                host.SeekMs(static_cast<int>(duration > 0 ? std::min(position, duration) : position));
            }
        }
    } else if (Has(group, L"-shift")) {
        long long offset = 0;
        if (ReadNumber(group, kShiftTime, offset) && offset != 0) {
            const long long total = static_cast<long long>(settings.CommentTimeShift) + offset;
            if (total < -kMaxShiftMs || total > kMaxShiftMs) {
                DebugLog() << L"コマンドライン : player -shift time=" << offset << L" : 時間軸の合計 " << total
                           << L" は範囲外です (" << -kMaxShiftMs << L"～" << kMaxShiftMs << L")" << EndLine;
            } else if (host.ShiftCommentTimes(static_cast<int>(total))) {
                // Only a shift the store took is reported and passed on to the comment list.
                settings.CommentTimeShift = static_cast<int>(total);
                DebugLog() << L"コメントの時間軸変更 : " << total << EndLine;
                host.ApplyTimeShiftToCommentList(static_cast<int>(total));
            }
        }
    } else if (Has(group, L"-volume")) {
        long long percent = 0;
        ReadNumber(group, kVolumePercent, percent);
        host.SetVolumeBarPosition(static_cast<int>(percent * 60 / 100 + 40));
    } else if (Has(group, L"-rate")) {
        const std::wstring text = Value(group, L"val=", L"1.0");
        double rate = 0;
        try {
            rate = boost::lexical_cast<double>(text);
        } catch (const boost::bad_lexical_cast&) {
            rate = 0;
        }
        // "nan" and "inf" read as doubles, but no graph can play at them.
        if (!std::isfinite(rate)) {
            DebugLog() << L"コマンドライン : player -rate val=" << text << L" は範囲外です" << EndLine;
        } else if (host.IsGraphReady() && !host.SetRate(rate)) {
            DebugLog() << L"レートの設定限界です" << EndLine;
        }
    } else if (Has(group, L"-postcomment")) {
        host.PostCommentFromCommandLine(group);
    } else if (Has(group, L"-commentalpha")) {
        long long percent = 0;
        ReadNumber(group, kAlphaPercent, percent);
        settings.CommentAlpha = static_cast<int>(percent);
        host.CommentAlphaChanged();
    }
}

void DispatchVideoInfo(const CommandArgs& group, CommandLineHost& host) {
    if (Has(group, L"-move")) {
        const std::wstring href = Value(group, L"href=", L"");
        if (!href.empty()) {
            host.ShowVideoInfo(href);
            GetAppSettings().ViewVideoInfoWindow = true;
            if (!Has(group, L"-inactive")) {
                DebugLog() << L"href = " << href << EndLine;
            }
        }
    } else if (Has(group, L"-navigatemode")) {
        const std::wstring mode = Value(group, L"mode=", L"");
        if (mode == L"Inside") {
            host.SetVideoInfoOpenInside(true);
        } else if (mode == L"Outside") {
            host.SetVideoInfoOpenInside(false);
        } else {
            DebugLog() << L"mode=に使用できないモードが指定されています" << EndLine;
        }
        host.RepaintVideoInfo();
    }
}

void DeleteUpdaterFolder(CommandLineHost& host) {
    AppSettings& settings = GetAppSettings();
    std::wstring folder = settings.programFolder + L"\\VelaPlayerUpdate";
    if (!FileExists(folder)) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = RemoveTrailingSlash(temp) + L"\\VelaPlayerUpdate";
    }
    if (!FileExists(folder)) {
        return;
    }
    if (host.DeleteFolderSilently(folder)) {
        DebugLog() << L"自動更新で使用した一時ファイルを削除しました" << EndLine;
        return;
    }
    DebugLog() << L"AddCommandLine : other -deletetemp" << EndLine;
    // Tried again at the next start; a request already waiting there is not repeated.
    const std::wstring request = L"other -deletetemp";
    if (settings.NextBootCommandLine.find(request) == std::wstring::npos) {
        if (!settings.NextBootCommandLine.empty()) {
            settings.NextBootCommandLine += L" ";
        }
        settings.NextBootCommandLine += request;
    }
}

void WriteExchangeFile(const CommandArgs& group, CommandLineHost& host) {
    if (Value(group, L"hwnd=", L"") != L"VIDEOINFO") {
        return;
    }
    std::wstring html;
    if (!host.GetExchangeHtml(html)) {
        return;
    }
    const std::wstring text = GetRegexGroup(L"^<PRE>((.|\\n)*)</PRE>$", html, 1);
    const std::wstring path = Value(group, L"path=", L"");
    // The file is written in the Japanese code page whatever the system's is.
    std::string bytes;
    if (!text.empty()) {
        const int size =
            WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        bytes.resize(size > 0 ? size : 0);
        if (size > 0) {
            WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
        }
    }
    if (!WriteFileReplacing(path, bytes.data(), bytes.size())) {
        DebugLog() << L"Error : CreateFile " << path << EndLine;
    }
}

} // namespace

DownloadRequest MakeDownloadRequest(const CommandArgs& group, DWORD checkBoxFlags) {
    struct OptionBit {
        const wchar_t* option;
        WORD bit;
        bool kind;
    };
    const OptionBit bits[] = {
        {L"-movie", kDownloadKindVideo, true},        {L"-comment", kDownloadKindComments, true},
        {L"-info", kDownloadKindInfo, true},          {L"-thumbnail", kDownloadKindThumbnail, true},
        {L"-addlist", kDownloadKindPlaylist, false},  {L"-playafter", kDownloadKindPlay, false},
        {L"-createdir", kDownloadKindFolder, false},
    };
    WORD kinds = 0;
    WORD extras = 0;
    for (const OptionBit& bit : bits) {
        if (Has(group, bit.option)) {
            (bit.kind ? kinds : extras) |= bit.bit;
        }
    }
    DWORD flags = kinds != 0 ? MakeItemData(kDownloadStatusWaiting, kDownloadKindBase | kinds)
                             : (checkBoxFlags | MakeItemData(kDownloadStatusWaiting, kDownloadKindBase));
    flags |= extras;
    if (Has(group, L"-onlyadd")) {
        flags &= ~static_cast<DWORD>(kDownloadKindBase);
    }
    std::wstring text = group.empty() ? std::wstring() : group[0];
    const std::wstring log = Value(group, L"log=", L"");
    if (!log.empty()) {
        text += L" log=" + QuoteItemOptionValue(log);
    }
    if (Has(group, L"-afterexit")) {
        text += L" -afterexit";
    }
    return {{text, Value(group, L"savepath=", L""), L""}, flags};
}

bool IsExitForced() {
    return g_exitForced;
}

std::vector<CommandArgs> GroupCommandLine(const CommandArgs& arguments) {
    std::vector<CommandArgs> groups;
    CommandArgs current;
    bool first = true;
    for (const std::wstring& argument : arguments) {
        if (IsKindWord(argument)) {
            // The first group is kept even when empty, so that every kind keeps its place.
            if (first || !current.empty()) {
                groups.push_back(current);
            }
            first = false;
            current = {argument};
        } else {
            current.push_back(argument);
        }
    }
    if (!current.empty()) {
        groups.push_back(current);
    }
    return groups;
}

void ParseCommandLine(const CommandArgs& arguments, CommandLineHost& host) {
    std::vector<CommandArgs> groups = GroupCommandLine(arguments);
    if (ContainsString(arguments, L"-echo")) {
        DebugLog() << L"Command Line : " << JoinStrings(arguments, L" ") << EndLine;
    }
    if (ContainsString(arguments, L"-exitforce")) {
        DebugLog() << L"exitforceオプションで起動しました" << EndLine;
        g_exitForced = true;
    }
    // A file to open takes the shifts of the same command line as its own comment shift.
    if (!groups.empty() && !groups[0].empty() && IsExistingFile(groups[0][0])) {
        for (auto it = groups.begin() + 1; it != groups.end();) {
            if (it->size() >= 2 && (*it)[0] == L"player" && (*it)[1] == L"-shift") {
                const std::wstring time = Value(*it, L"time=", L"");
                long long shift = 0;
                if (time.empty() || ReadNumber(*it, kShiftTime, shift)) {
                    groups[0].push_back(L"comment_shift=" + time);
                }
                it = groups.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const CommandArgs& group : groups) {
        // Whoever sent the command line gets no box for a failing request, and the rest of it still runs.
        try {
            OpenCommandLineFiles(group, host);
        } catch (const utl::exception::CException& e) {
            DebugLog() << L"コマンドラインの実行に失敗しました : " << (group.empty() ? L"" : group[0]) << L" : "
                       << e.message << EndLine;
        } catch (const std::exception& e) {
            DebugLog() << L"コマンドラインの実行に失敗しました : " << (group.empty() ? L"" : group[0]) << L" : "
                       << AnsiToWide(e.what()) << EndLine;
        }
    }
}

void OpenCommandLineFiles(const CommandArgs& group, CommandLineHost& host) {
    if (group.empty()) {
        return;
    }
    const std::wstring& first = group[0];
    if (IsKindWord(first)) {
        DispatchCommandLine(group, host);
        return;
    }
    if (StartsWithNoCase(first, L"http://") || StartsWithNoCase(first, L"https://")) {
        host.ExecuteDownloadCommand(group);
    } else if (ToLower(GetFileExtension(first)) == L".m3u") {
        host.ExecutePlaylistCommand(group);
    } else if (ToLower(GetFileExtension(first)) == L".dat") {
        GetAppSettings().ViewDownloadWindow = true;
        host.OpenDownloadList(first);
    } else if (IsExistingFile(first)) {
        if (Has(group, L"-addlist")) {
            host.AddToPlaylist(first);
        } else {
            host.OpenMediaFile(first, group);
        }
    } else {
        DispatchCommandLine(group, host);
    }
}

void DispatchCommandLine(const CommandArgs& group, CommandLineHost& host) {
    if (group.empty()) {
        return;
    }
    const std::wstring& kind = group[0];
    if (kind == L"player") {
        DispatchPlayer(group, host);
    } else if (kind == L"playlist") {
        GetAppSettings().ViewPlayList = true;
        host.ShowPlaylist();
        if (Has(group, L"-clear")) {
            host.ClearPlaylist(true);
        }
    } else if (kind == L"videoinfo") {
        DispatchVideoInfo(group, host);
    } else if (kind == L"info") {
        DebugLog() << Value(group, L"msg=", L"") << EndLine;
        if (!Has(group, L"-inactive")) {
            GetAppSettings().InfoView = true;
            host.ShowInformationWindow();
        }
    } else if (kind == L"get") {
        const std::wstring target = Value(group, L"hwnd=", L"");
        const MediaQueryState state = host.GetMediaState();
        const std::wstring answer = AnswerGetQuery(group, state);
        const bool known = std::any_of(group.begin() + 1, group.end(), [](const std::wstring& a) {
            return a == L"-version" || a == L"-softdir" || a == L"-playfile" || a == L"-mediafile" ||
                   a == L"-commentfile" || a == L"-infofile" || a == L"-time" || a == L"-length" ||
                   a == L"-mediastate" || a == L"-playlist" || a == L"-file";
        });
        if (!target.empty() && known) {
            host.SendReply(target, L"<PRE>" + answer + L"</PRE>");
        }
    } else if (kind == L"sendmsg") {
        long long message = 0;
        long long wParam = 0;
        long long lParam = 0;
        if (!ReadNumber(group, kSendMessage, message) || !ReadNumber(group, kSendWParam, wParam) ||
            !ReadNumber(group, kSendLParam, lParam)) {
            return;
        }
        if (message == kMsgSeek) {
            // The seek handler takes the position as a signed 32-bit number of milliseconds.
            if (wParam < 0 || wParam > INT32_MAX) {
                LogOutOfRange(kNumberRules[kSendWParam], std::to_wstring(wParam));
                return;
            }
            const long long duration = host.GetDurationMs();
            if (duration > 0) {
                wParam = std::min(wParam, duration);
            }
        }
        // A negative number keeps its sign in the wider parameter, as a 32-bit sender's would.
        const WPARAM w = static_cast<WPARAM>(static_cast<intptr_t>(wParam));
        const LPARAM l = static_cast<LPARAM>(lParam);
        if (IsSendableMessage(static_cast<UINT>(message), w, l)) {
            host.SendToMainWindow(static_cast<UINT>(message), w, l);
        } else {
            DebugLog() << L"sendmsg : このメッセージは送信できません : msg=" << message << L" wparam=" << wParam
                       << L" lparam=" << lParam << EndLine;
        }
    } else if (kind == L"other") {
        if (Has(group, L"-deletetemp")) {
            DeleteUpdaterFolder(host);
        } else if (Has(group, L"-writefile")) {
            WriteExchangeFile(group, host);
        }
    }
}

std::wstring AnswerGetQuery(const CommandArgs& group, const MediaQueryState& state) {
    if (Has(group, L"-version")) {
        return GetAppSettings().version;
    }
    if (Has(group, L"-softdir")) {
        return GetAppSettings().programFolder;
    }
    if (Has(group, L"-playfile")) {
        return GetFileName(state.videoPath);
    }
    if (Has(group, L"-mediafile")) {
        return state.videoPath;
    }
    if (Has(group, L"-commentfile")) {
        return state.commentPath;
    }
    if (Has(group, L"-infofile")) {
        return state.infoPath;
    }
    if (Has(group, L"-time")) {
        return state.state < 0 ? std::wstring() : std::to_wstring(state.positionMs);
    }
    if (Has(group, L"-length")) {
        return state.state < 0 ? std::wstring() : std::to_wstring(state.durationMs);
    }
    if (Has(group, L"-mediastate")) {
        switch (state.state) {
        case 0:
            return L"Stopped";
        case 1:
            return L"Paused";
        case 2:
            return L"Running";
        default:
            return L"Closed";
        }
    }
    if (Has(group, L"-playlist")) {
        return state.playlistPath;
    }
    if (Has(group, L"-file")) {
        return JoinStrings(state.playlistFiles, L"\n");
    }
    return std::wstring();
}

HWND ParseWindowHandle(const std::wstring& text) {
    if (text.empty()) {
        return nullptr;
    }
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const std::wstring digits = hex ? text.substr(2) : text;
    const wchar_t* allowed = hex ? L"0123456789abcdefABCDEF" : L"0123456789";
    if (digits.empty() || digits.size() > 20 || digits.find_first_not_of(allowed) != std::wstring::npos) {
        return nullptr;
    }
    errno = 0;
    const unsigned long long value = std::wcstoull(digits.c_str(), nullptr, hex ? 16 : 10);
    // Cut to a 32-bit handle, a larger number would name some other window.
    if (errno == ERANGE || value > UINTPTR_MAX) {
        return nullptr;
    }
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

long long ParseCommandNumber(const std::wstring& text) {
    size_t at = 0;
    const bool negative = !text.empty() && text[0] == L'-';
    if (!text.empty() && (text[0] == L'-' || text[0] == L'+')) {
        at = 1;
    }
    if (at == text.size() || text.find_first_not_of(L"0123456789", at) != std::wstring::npos) {
        return 0;
    }
    // Gathered as a negative number, whose range reaches one further than the positive one.
    long long value = 0;
    for (; at < text.size(); ++at) {
        const int digit = text[at] - L'0';
        if (value < (LLONG_MIN + digit) / 10) {
            return negative ? LLONG_MIN : LLONG_MAX;
        }
        value = value * 10 - digit;
    }
    if (negative) {
        return value;
    }
    return value == LLONG_MIN ? LLONG_MAX : -value;
}

bool IsSendableMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    // Their parameters are taken as addresses of texts or records.
    case WM_COPYDATA:
    case kMsgLogLine:
    case kMsgCommandLine:
    case kMsgVideoData:
    case kMsgRunScript:
        return false;
    case kMsgFilterEntry:
        return wParam == 0;
    // System messages with plain numbers that a request may use.
    case WM_CLOSE:
    case WM_COMMAND:
    case WM_SYSCOMMAND:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        return true;
    default:
        break;
    }
    // Other system messages can carry addresses.
    if (message < WM_USER) {
        return false;
    }
    // Messages forwarded to the tool windows may carry texts; only their parameterless ones pass.
    if (IsToolWindowBlockMessage(message)) {
        return wParam == 0 && lParam == 0;
    }
    return true;
}
