#include "foundation/Regex.h"

#include "foundation/CBaseDebug.h"
#include "foundation/CCritSec.h"

#include <boost/regex.hpp>
#include <memory>
#include <set>
#include <unordered_map>

namespace {

// Reports a faulty pattern once per process. Never destroyed, like the cache below.
void ReportBadPattern(const std::wstring& pattern, const char* what) {
    struct Reported {
        CCritSec lock;
        std::set<std::wstring> patterns;
    };
    static auto* reported = new Reported;
    {
        CAutoLock guard(reported->lock);
        if (!reported->patterns.insert(pattern).second) {
            return;
        }
    }
    DebugLog() << L"Error : Regex : " << pattern << L" : " << what << EndLine;
}

// Compiled patterns are shared by every thread (a compiled pattern may be used by several threads at
// once). Not thread_local: with emulated TLS, an object's storage is freed before its destructor runs
// at thread exit, so a worker thread that had used a pattern corrupted the heap as it ended. The cache
// is never freed, so that patterns still work during static destruction.
std::shared_ptr<const boost::wregex> Compile(const std::wstring& pattern) {
    static auto* lock = new CCritSec;
    static auto* cache = new std::unordered_map<std::wstring, std::shared_ptr<const boost::wregex>>;
    {
        CAutoLock guard(lock);
        auto found = cache->find(pattern);
        if (found != cache->end()) {
            return found->second;
        }
    }
    std::shared_ptr<const boost::wregex> compiled;
    try {
        compiled = std::make_shared<const boost::wregex>(pattern);
    } catch (const std::exception& e) {
        ReportBadPattern(pattern, e.what());
        return nullptr;
    }
    CAutoLock guard(lock);
    if (cache->size() >= 128) {
        cache->clear(); // users still hold theirs
    }
    return cache->emplace(pattern, std::move(compiled)).first->second;
}

// Matching can fail at run time too (a pattern too complex for the text).
template <typename Fn> bool Guarded(const std::wstring& pattern, Fn&& fn) {
    try {
        return fn();
    } catch (const std::exception& e) {
        ReportBadPattern(pattern, e.what());
        return false;
    }
}

} // namespace

bool RegexSearch(const std::wstring& text, const std::wstring& pattern, std::vector<std::wstring>& out) {
    out.clear();
    const std::shared_ptr<const boost::wregex> re = Compile(pattern);
    if (re == nullptr) {
        return false;
    }
    return Guarded(pattern, [&] {
        boost::wsmatch match;
        if (!boost::regex_search(text, match, *re)) {
            return false;
        }
        for (size_t i = 0; i < match.size(); ++i) {
            out.push_back(match[i].matched ? match[i].str() : std::wstring());
        }
        return true;
    });
}

bool RegexMatch(const std::wstring& text, const std::wstring& pattern) {
    const std::shared_ptr<const boost::wregex> re = Compile(pattern);
    return re != nullptr && Guarded(pattern, [&] { return boost::regex_match(text, *re); });
}

bool RegexReplace(std::wstring& text, const std::wstring& pattern, const std::wstring& format) {
    const std::shared_ptr<const boost::wregex> re = Compile(pattern);
    if (re == nullptr) {
        return false;
    }
    return Guarded(pattern, [&] {
        std::wstring replaced = boost::regex_replace(text, *re, format);
        text.swap(replaced);
        return true;
    });
}

void RegexGrep(int group, const std::wstring& text, const std::wstring& pattern, std::vector<std::wstring>& out) {
    const std::shared_ptr<const boost::wregex> re = Compile(pattern);
    if (re == nullptr) {
        return;
    }
    std::vector<std::wstring> found;
    const bool ok = Guarded(pattern, [&] {
        for (boost::wsregex_iterator it(text.begin(), text.end(), *re), end; it != end; ++it) {
            const auto& sub = (*it)[group];
            if (sub.matched && sub.length() > 0) {
                found.push_back(sub.str());
            }
        }
        return true;
    });
    if (ok) {
        out.insert(out.end(), found.begin(), found.end());
    }
}

std::wstring GetRegexGroup(const std::wstring& pattern, const std::wstring& text, int n) {
    std::vector<std::wstring> groups;
    if (n < 0 || !RegexSearch(text, pattern, groups) || static_cast<size_t>(n) >= groups.size()) {
        return std::wstring();
    }
    return groups[n];
}

std::wstring RegexEscape(const std::wstring& text) {
    static const std::wstring kSpecial = L".[]{}()\\*+?|^$";
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        if (kSpecial.find(c) != std::wstring::npos) {
            escaped += L'\\';
        }
        escaped += c;
    }
    return escaped;
}
