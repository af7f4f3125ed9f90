#pragma once
// The NG comment filter: lists read from filter files that decide which comments are hidden.
//
// A filter file is a sectioned text file (foundation/CSectionFile.h), one entry per line, sections
// named by kind:
//   "Exclude Word"     hides a comment whose text contains the entry (letters compared without case)
//   "Exclude ID"       hides a comment whose user ID equals the entry
//   "Exclude Command"  hides a comment whose command holds every blank-separated word of the entry
//   "Exclude Thread"   hides a comment whose thread number equals the entry
//   "Include Word", "Include ID", "Include Command"
//                      keep a comment that an exclude entry would hide
//   "Replace Word", "Replace Command"
//                      a regular expression, a tab and a format ("$1" for a group): every match in
//                      the text or the command is replaced before the lists are tested
// Empty lines are ignored. The filter files of the "filter" folder are the global lists; a comment
// file may have a local file beside it (GetLocalFilterPath).
//
// IsCommentAllowed applies the global lists when the setting EnableFilter is on, and the local ones
// when EnableFilter and EnableLocalFilter are both on; a deleted comment is always hidden.
//
// Thread use: any thread; loading replaces the lists at once, a test that runs meanwhile sees the
// old or the new lists whole.

#include "engine/CommentRecord.h"
#include "foundation/CCritSec.h"

#include <memory>
#include <string>
#include <vector>

namespace filter_kind {
constexpr wchar_t kExcludeWord[] = L"Exclude Word";
constexpr wchar_t kExcludeId[] = L"Exclude ID";
constexpr wchar_t kExcludeCommand[] = L"Exclude Command";
constexpr wchar_t kExcludeThread[] = L"Exclude Thread";
constexpr wchar_t kIncludeWord[] = L"Include Word";
constexpr wchar_t kIncludeId[] = L"Include ID";
constexpr wchar_t kIncludeCommand[] = L"Include Command";
constexpr wchar_t kReplaceWord[] = L"Replace Word";
constexpr wchar_t kReplaceCommand[] = L"Replace Command";
} // namespace filter_kind

class CCommentFilter {
public:
    CCommentFilter();
    ~CCommentFilter();
    CCommentFilter(const CCommentFilter&) = delete;
    CCommentFilter& operator=(const CCommentFilter&) = delete;

    // The global lists become those of the files together; a missing file adds nothing.
    void LoadFilterFiles(const std::vector<std::wstring>& paths);
    // The local lists become those of the comment file's local file (none for an empty path).
    void LoadLocalFilter(const std::wstring& commentPath);
    void ClearFilters();

    // True when no exclude list, global or local, has an entry.
    bool IsFilterEmpty() const;
    // Applies the replace rules to chat, then false when the comment is to be hidden.
    bool IsCommentAllowed(ChatData& chat) const;

    struct Lists;

private:
    mutable CCritSec m_lock;
    std::shared_ptr<const Lists> m_global;
    std::shared_ptr<const Lists> m_local;
};

// The local filter file of a comment file: "<video ID>.ngfilter" in the comment file's folder, or the
// comment file's path with ".ngfilter" in place of its extension when its name holds no video ID.
std::wstring GetLocalFilterPath(const std::wstring& commentPath);

// The full paths of the "*.txt" files of a filter folder, in listing order.
std::vector<std::wstring> ListFilterFiles(const std::wstring& folder);

// Appends value as a line of the kind's section of the filter file (made when missing). False for an
// unknown kind, an empty value, a value with a line break, or a file that cannot be written.
bool AppendFilterEntry(const std::wstring& filterFilePath, const std::wstring& kind, const std::wstring& value);

// The process's one filter.
CCommentFilter& GetCommentFilter();
