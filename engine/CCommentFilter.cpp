#include "engine/CCommentFilter.h"

#include "engine/CommentCommand.h"
#include "foundation/AppSettings.h"
#include "foundation/CSectionFile.h"
#include "foundation/PathUtil.h"
#include "foundation/Regex.h"
#include "foundation/StringUtil.h"
#include "foundation/VideoId.h"

#include <algorithm>
#include <unordered_set>

namespace {

struct ReplaceRule {
    std::wstring pattern;
    std::wstring format;
};

// The words of a command, sorted, so that "every word of the entry" is one ordered walk.
std::vector<std::wstring> SortedWords(const std::wstring& command) {
    std::vector<std::wstring> words = SplitCommandWords(command);
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

bool HoldsAll(const std::vector<std::wstring>& commandWords, const std::vector<std::wstring>& entryWords) {
    return !entryWords.empty() &&
           std::includes(commandWords.begin(), commandWords.end(), entryWords.begin(), entryWords.end());
}

bool ContainsAny(const std::wstring& loweredText, const std::vector<std::wstring>& loweredWords) {
    for (const std::wstring& word : loweredWords) {
        if (loweredText.find(word) != std::wstring::npos) {
            return true;
        }
    }
    return false;
}

bool HoldsAny(const std::vector<std::wstring>& commandWords, const std::vector<std::vector<std::wstring>>& entries) {
    for (const auto& entry : entries) {
        if (HoldsAll(commandWords, entry)) {
            return true;
        }
    }
    return false;
}

const wchar_t* const kKinds[] = {filter_kind::kExcludeWord,    filter_kind::kExcludeId,   filter_kind::kExcludeCommand,
                                 filter_kind::kExcludeThread,  filter_kind::kIncludeWord, filter_kind::kIncludeId,
                                 filter_kind::kIncludeCommand, filter_kind::kReplaceWord, filter_kind::kReplaceCommand};

} // namespace

struct CCommentFilter::Lists {
    std::vector<std::wstring> excludeWords, includeWords; // lower-cased
    std::unordered_set<std::wstring> excludeIds, includeIds;
    std::vector<std::vector<std::wstring>> excludeCommands, includeCommands;
    std::unordered_set<int64_t> excludeThreads;
    std::vector<ReplaceRule> replaceWords, replaceCommands;

    bool HasExcludes() const {
        return !excludeWords.empty() || !excludeIds.empty() || !excludeCommands.empty() || !excludeThreads.empty();
    }
    bool HasCommandTests() const { return !excludeCommands.empty() || !includeCommands.empty(); }

    void Read(const std::wstring& path) {
        const CSectionFile file(path);
        auto lines = [&file](const wchar_t* kind) {
            std::vector<std::wstring> kept;
            for (std::wstring& line : file.ReadSectionLines(kind, true)) {
                if (!line.empty() && line.back() == L'\r') {
                    line.pop_back();
                }
                if (!line.empty()) {
                    kept.push_back(std::move(line));
                }
            }
            return kept;
        };
        for (const std::wstring& word : lines(filter_kind::kExcludeWord)) {
            excludeWords.push_back(ToLower(word));
        }
        for (const std::wstring& word : lines(filter_kind::kIncludeWord)) {
            includeWords.push_back(ToLower(word));
        }
        for (std::wstring& id : lines(filter_kind::kExcludeId)) {
            excludeIds.insert(std::move(id));
        }
        for (std::wstring& id : lines(filter_kind::kIncludeId)) {
            includeIds.insert(std::move(id));
        }
        for (const std::wstring& command : lines(filter_kind::kExcludeCommand)) {
            if (auto words = SortedWords(command); !words.empty()) {
                excludeCommands.push_back(std::move(words));
            }
        }
        for (const std::wstring& command : lines(filter_kind::kIncludeCommand)) {
            if (auto words = SortedWords(command); !words.empty()) {
                includeCommands.push_back(std::move(words));
            }
        }
        for (const std::wstring& thread : lines(filter_kind::kExcludeThread)) {
            try {
                excludeThreads.insert(std::stoll(thread));
            } catch (const std::exception&) {
            }
        }
        auto rules = [&lines](const wchar_t* kind, std::vector<ReplaceRule>& out) {
            for (const std::wstring& line : lines(kind)) {
                const size_t tab = line.find(L'\t');
                if (tab != std::wstring::npos && tab > 0) {
                    out.push_back({line.substr(0, tab), line.substr(tab + 1)});
                }
            }
        };
        rules(filter_kind::kReplaceWord, replaceWords);
        rules(filter_kind::kReplaceCommand, replaceCommands);
    }

    void Replace(ChatData& chat) const {
        for (const ReplaceRule& rule : replaceWords) {
            RegexReplace(chat.text, rule.pattern, rule.format);
        }
        for (const ReplaceRule& rule : replaceCommands) {
            RegexReplace(chat.mail, rule.pattern, rule.format);
        }
    }

    bool Includes(const ChatData& chat, const std::wstring& loweredText, const std::vector<std::wstring>& words) const {
        return includeIds.count(chat.user_id) != 0 || ContainsAny(loweredText, includeWords) ||
               HoldsAny(words, includeCommands);
    }

    bool Excludes(const ChatData& chat, const std::wstring& loweredText, const std::vector<std::wstring>& words) const {
        return excludeIds.count(chat.user_id) != 0 || excludeThreads.count(chat.thread) != 0 ||
               ContainsAny(loweredText, excludeWords) || HoldsAny(words, excludeCommands);
    }
};

CCommentFilter::CCommentFilter() = default;
CCommentFilter::~CCommentFilter() = default;

void CCommentFilter::LoadFilterFiles(const std::vector<std::wstring>& paths) {
    auto lists = std::make_shared<Lists>();
    for (const std::wstring& path : paths) {
        lists->Read(path);
    }
    CAutoLock lock(m_lock);
    m_global = std::move(lists);
}

void CCommentFilter::LoadLocalFilter(const std::wstring& commentPath) {
    std::shared_ptr<Lists> lists;
    if (!commentPath.empty()) {
        lists = std::make_shared<Lists>();
        lists->Read(GetLocalFilterPath(commentPath));
    }
    CAutoLock lock(m_lock);
    m_local = std::move(lists);
}

void CCommentFilter::ClearFilters() {
    CAutoLock lock(m_lock);
    m_global.reset();
    m_local.reset();
}

bool CCommentFilter::IsFilterEmpty() const {
    CAutoLock lock(m_lock);
    return !(m_global && m_global->HasExcludes()) && !(m_local && m_local->HasExcludes());
}

bool CCommentFilter::IsCommentAllowed(ChatData& chat) const {
    const AppSettings& settings = GetAppSettings();
    std::shared_ptr<const Lists> applied[2];
    {
        CAutoLock lock(m_lock);
        if (settings.EnableFilter) {
            applied[0] = m_global;
            if (settings.EnableLocalFilter) {
                applied[1] = m_local;
            }
        }
    }
    bool needsWords = false;
    bool needsText = false;
    for (const auto& lists : applied) {
        if (lists) {
            lists->Replace(chat);
            needsWords = needsWords || lists->HasCommandTests();
            needsText = needsText || !lists->excludeWords.empty() || !lists->includeWords.empty();
        }
    }
    const std::wstring loweredText = needsText ? ToLower(chat.text) : std::wstring();
    const std::vector<std::wstring> words = needsWords ? SortedWords(chat.mail) : std::vector<std::wstring>();
    bool included = false;
    for (const auto& lists : applied) {
        included = included || (lists && lists->Includes(chat, loweredText, words));
    }
    if (!included) {
        for (const auto& lists : applied) {
            if (lists && lists->Excludes(chat, loweredText, words)) {
                return false;
            }
        }
    }
    return chat.deleted == 0;
}

std::wstring GetLocalFilterPath(const std::wstring& commentPath) {
    const std::wstring id = GetVideoIdFromFilePath(commentPath);
    if (id.empty()) {
        return RemoveExtension(commentPath) + L".ngfilter";
    }
    return GetDirectoryPath(commentPath) + id + L".ngfilter";
}

std::vector<std::wstring> ListFilterFiles(const std::wstring& folder) {
    std::vector<std::wstring> files;
    EnumerateFiles(folder, L"*.txt", files, true, false, false);
    return files;
}

bool AppendFilterEntry(const std::wstring& filterFilePath, const std::wstring& kind, const std::wstring& value) {
    const bool known =
        std::any_of(std::begin(kKinds), std::end(kKinds), [&kind](const wchar_t* k) { return kind == k; });
    if (!known || value.empty() || value.find_first_of(L"\r\n") != std::wstring::npos) {
        return false;
    }
    CSectionFile file(filterFilePath);
    return file.AppendLine(kind, value);
}

CCommentFilter& GetCommentFilter() {
    static CCommentFilter filter;
    return filter;
}
