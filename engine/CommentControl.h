#pragma once
// The comment store: every comment of the playing video as a CommentRecord, sorted by display start
// (equal starts in load order), with the values of the last document loaded.
//
// Thread use: any thread. One lock guards the records, their fonts and every field: the loader
// builds its records outside it and swaps them in under it, the frame thread holds it (Access) while
// it lays out and draws, and the index accessors take it for each call. A font a record points to
// stays alive while the record is in the store and until the next ClearComments.

#include "engine/CommentFonts.h"
#include "engine/CommentRecord.h"
#include "foundation/CCritSec.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CCommentFilter;

// What a refresh needs to repeat the last latest-comments fetch.
struct CommentFetchArguments {
    std::vector<std::wstring> texts;
    int32_t values[3] = {0, 0, 0};
};

class CommentControl {
public:
    // Loads pass each chat through filter (the process's filter by default).
    CommentControl();
    explicit CommentControl(const CCommentFilter& filter);
    ~CommentControl();
    CommentControl(const CommentControl&) = delete;
    CommentControl& operator=(const CommentControl&) = delete;

    // The frame size the shrink loop fits texts into (512 × 384 until the player sets the video's
    // size), and the point sizes of the shared fonts (18, 29, 12); both apply to records built later.
    void SetFrameSize(int32_t width, int32_t height);
    void SetCommentFontSizes(const CommentFontSizes& sizes);

    // A record for chat: flags, colour, font, measured size and display window (ue and shita from
    // time to time + 3000; naka from time − 1000 to time + 3000, or 0 to 5000 below time 1000). A ue or
    // shita text wider than the frame, and any text higher than it, gets a smaller regular font (at
    // least 1 point; one font per size, shared by the records shrunk to it). Its times are unshifted.
    CommentRecord BuildCommentRecord(const ChatData& chat);

    // Reads the file, keeps the chats the filter allows, sorts them by display start and puts them in
    // place of the store's records, at the current time shift. count and start choose chats as the
    // comment list does: count −1 means all, start −1 the last count chats. False when the file cannot
    // be read; the store is then unchanged.
    bool LoadCommentFile(const std::wstring& path, int32_t count = -1, int32_t start = -1);
    // Erases every record and shrunk font; the time shift becomes 0.
    void ClearComments();
    // Moves every record's times to offset ms from their unshifted values: added when positive,
    // clamped at 0 when negative. False when offset is the current shift, the store is empty or a load
    // is running.
    bool ShiftCommentTimes(int32_t offset);

    // At least three characters, the first an at sign, the next C and M, each half- or full-width and
    // the letters in either case.
    static bool IsUserCmComment(const std::wstring& text);

    // By index; 0, an empty text or an empty record out of range. A copied record's font is valid
    // until the next ClearComments.
    int32_t GetCommentCount() const;
    CommentRecord GetCommentRecord(int32_t index) const;
    ChatData GetChatData(int32_t index) const;
    int32_t GetCommentNo(int32_t index) const;
    int64_t GetCommentDate(int32_t index) const;
    uint8_t GetCommentPremium(int32_t index) const;
    std::wstring GetCommentUserId(int32_t index) const;
    std::wstring GetCommentMail(int32_t index) const;
    std::wstring GetCommentText(int32_t index) const;

    int32_t GetLastRes() const;
    int32_t GetVideoCount() const;
    int32_t GetMylistCount() const;
    bool IsLoading() const { return m_loadsRunning.load() > 0; }
    int32_t GetTimeShift() const;
    int32_t GetDrawStart() const;
    CommentFetchArguments GetFetchArguments() const;
    void SetFetchArguments(const CommentFetchArguments& arguments);

    // The store held locked, for the frame thread: the records stay as they are while it lives. The
    // lock may be entered again, but no other operation of the store belongs between its calls.
    class Access {
    public:
        explicit Access(CommentControl& store) : m_store(store), m_lock(store.m_lock) {}
        Access(const Access&) = delete;
        Access& operator=(const Access&) = delete;

        const std::vector<CommentRecord>& Comments() const { return m_store.m_comments; }
        // Changes whenever records are added, removed, reordered or shifted.
        uint64_t Generation() const { return m_store.m_generation; }
        int32_t DrawStart() const { return m_store.m_drawStart; }
        void SetDrawStart(int32_t index);
        // The position a record was last laid out at.
        void SetPosition(size_t index, int32_t x, int32_t row);

    private:
        CommentControl& m_store;
        CAutoLock m_lock;
    };

private:
    struct Builder;

    std::unique_ptr<Builder> MakeBuilder();
    void Adopt(Builder& builder);
    // Under the lock, with the records gone: the fonts they pointed to, ready to be deleted outside it.
    void ClearCommentFonts(std::vector<std::shared_ptr<const CommentFontSet>>& fontSets,
                           std::vector<std::unique_ptr<Gdiplus::Font>>& fonts);

    const CCommentFilter& m_filter;
    mutable CCritSec m_lock;
    std::vector<CommentRecord> m_comments;
    int32_t m_drawStart = 0;
    CommentFetchArguments m_fetchArguments;
    int32_t m_lastRes = 0;
    int32_t m_video = 0;
    int32_t m_mylist = 0;
    std::atomic<int> m_loadsRunning{0};
    int32_t m_timeShift = 0;
    uint64_t m_generation = 0;

    int32_t m_frameWidth = 512;
    int32_t m_frameHeight = 384;
    CommentFontSizes m_fontSizes;
    std::shared_ptr<const CommentFontSet> m_currentFonts;
    // Every shared font set and shrunk font the records may point to; emptied by ClearComments.
    std::vector<std::shared_ptr<const CommentFontSet>> m_fontSets;
    std::vector<std::unique_ptr<Gdiplus::Font>> m_fontCache;
};

// The process's one store (it loads through GetCommentFilter()).
CommentControl& GetCommentControl();
