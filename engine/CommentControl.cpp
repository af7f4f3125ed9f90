#include "engine/CommentControl.h"

#include "engine/CCommentFilter.h"
#include "engine/CommentCommand.h"
#include "engine/CommentXml.h"
#include "foundation/AppSettings.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <array>
#include <climits>
#include <map>
#include <unordered_map>

namespace {

// Play times stay this far inside the 32-bit range, so that display windows and shifts cannot overflow.
constexpr int64_t kMaxTime = INT32_MAX / 2;
constexpr int64_t kMinTime = -kMaxTime;
constexpr int32_t kFixedDuration = 3000;
constexpr int32_t kNakaLead = 1000;
constexpr int32_t kEarlyNakaEnd = 5000;

int32_t ClampTime(int64_t time) {
    return static_cast<int32_t>(std::min(std::max(time, kMinTime), kMaxTime));
}

int32_t Shifted(int32_t base, int32_t shift) {
    const int64_t moved = static_cast<int64_t>(base) + shift;
    if (shift < 0 && moved < 0) {
        return 0;
    }
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(moved, INT32_MIN), INT32_MAX));
}

void ApplyShift(std::vector<CommentRecord>& records, int32_t shift) {
    for (CommentRecord& record : records) {
        record.time = Shifted(record.baseTime, shift);
        record.start = Shifted(record.baseStart, shift);
        record.end = Shifted(record.baseEnd, shift);
    }
}

class LoadingMark {
public:
    explicit LoadingMark(std::atomic<int>& count) : m_count(count) { ++m_count; }
    ~LoadingMark() { --m_count; }
    LoadingMark(const LoadingMark&) = delete;
    LoadingMark& operator=(const LoadingMark&) = delete;

private:
    std::atomic<int>& m_count;
};

// When a record of the chat shows first (its start), by the same rule Build uses.
int32_t StartOf(const ChatData& chat, CommentFlags flags) {
    const int32_t time = ClampTime(static_cast<int64_t>(chat.vpos) * 10);
    if (flags & comment_flags::kNaka) {
        return time < kNakaLead ? 0 : time - kNakaLead;
    }
    return time;
}

bool IsOneOf(wchar_t c, std::initializer_list<wchar_t> forms) {
    return std::find(forms.begin(), forms.end(), c) != forms.end();
}

} // namespace

// Builds records in two steps, so that texts are measured in batches, font by font: GDI+ on some
// systems makes a GDI font for every measurement, and switching fonts at each text costs several times
// the measurement itself.
struct CommentControl::Builder {
    // What a text measures in one size and position class, shrinking included.
    struct Measured {
        bool queued = false;
        CommentFlags size = 0; // the size bit measured with
        int32_t fontSize = 0;
        int32_t width = 0;
        int32_t height = 0;
        Gdiplus::Font* font = nullptr;
    };
    static constexpr int kClasses = 6; // medium, big, small × scrolling, fixed

    Builder(std::shared_ptr<const CommentFontSet> fontSet, int32_t width, int32_t height)
        : fonts(std::move(fontSet)), measurer(*fonts), frameWidth(width), frameHeight(height) {}

    // The entry of text in the class of flags; a new one waits for MeasurePending.
    Measured& Request(const std::wstring& text, CommentFlags flags) {
        using namespace comment_flags;
        const bool fixed = (flags & (kUe | kShita)) != 0;
        const int sizeClass = (flags & kBig) ? 1 : (flags & kSmall) ? 2 : 0;
        auto found = texts.try_emplace(text).first;
        Measured& measured = found->second[sizeClass * 2 + (fixed ? 1 : 0)];
        if (!measured.queued) {
            measured.queued = true;
            measured.size = flags & kSizeMask;
            pending.push_back({&found->first, &measured, fixed});
        }
        return measured;
    }

    void MeasurePending() {
        using namespace comment_flags;
        for (const CommentFlags size : {kMedium, kBig, kSmall}) {
            for (const Job& job : pending) {
                if (job.measured->size == size) {
                    Measured& measured = *job.measured;
                    measured.font = fonts->ForFlags(size);
                    measured.fontSize = fonts->Sizes().ForFlags(size);
                    const CommentTextSize textSize = measurer.Measure(size, *job.text);
                    measured.width = textSize.width;
                    measured.height = textSize.height;
                }
            }
        }
        std::vector<Job> wide;
        for (const Job& job : pending) {
            if (job.fixed && job.measured->width > frameWidth) {
                wide.push_back(job);
            }
        }
        Shrink(wide, &CommentTextSize::width, frameWidth);
        std::vector<Job> high;
        for (const Job& job : pending) {
            if (job.measured->height > frameHeight) {
                high.push_back(job);
            }
        }
        Shrink(high, &CommentTextSize::height, frameHeight);
        pending.clear();
    }

    CommentRecord Build(ChatData chat, CommentFlags flags, const Measured& measured) {
        using namespace comment_flags;
        CommentRecord record;
        const int32_t time = ClampTime(static_cast<int64_t>(chat.vpos) * 10);
        record.time = time;
        record.flags = flags;
        record.color = ParseCommandColor(chat.mail);
        record.start = StartOf(chat, flags);
        if (record.flags & kNaka) {
            record.end = time < kNakaLead ? kEarlyNakaEnd : time + kFixedDuration;
        } else {
            record.end = time + kFixedDuration;
        }
        record.duration = record.end - record.start;
        record.baseTime = record.time;
        record.baseStart = record.start;
        record.baseEnd = record.end;
        record.fontSize = measured.fontSize;
        record.width = measured.width;
        record.height = measured.height;
        record.font = measured.font;
        record.chat = std::move(chat);
        return record;
    }

    struct Job {
        const std::wstring* text;
        Measured* measured;
        bool fixed;
    };

    // For each text: step the size down until the measure fits the limit, guessing the next step from
    // how much the steps so far gained, and stop at 1 point; a size GDI+ refuses ends the loop with the
    // last good font. The texts go through their loops together, largest next size first, so each
    // size's font is made and used once.
    void Shrink(const std::vector<Job>& jobs, int32_t CommentTextSize::*measure, int32_t limit) {
        struct State {
            Job job{};
            int32_t first = 0;
            Gdiplus::Font* font = nullptr;
            int32_t fontSize = 0;
            CommentTextSize fitted;
        };
        std::vector<State> states(jobs.size());
        std::map<int32_t, std::vector<size_t>, std::greater<int32_t>> bySize;
        for (size_t i = 0; i < jobs.size(); ++i) {
            states[i].job = jobs[i];
            states[i].first = measure == &CommentTextSize::width ? jobs[i].measured->width : jobs[i].measured->height;
            bySize[std::max(jobs[i].measured->fontSize - 1, 1)].push_back(i);
        }
        while (!bySize.empty()) {
            const int32_t size = bySize.begin()->first;
            const std::vector<size_t> waiting = std::move(bySize.begin()->second);
            bySize.erase(bySize.begin());
            Gdiplus::Font* font = ShrunkFont(size);
            for (const size_t index : waiting) {
                State& state = states[index];
                if (font == nullptr) {
                    continue;
                }
                state.font = font;
                state.fontSize = size;
                state.fitted = measurer.Measure(*font, *state.job.text);
                const int32_t current = state.fitted.*measure;
                if (limit >= current || size == 1) {
                    continue;
                }
                int32_t next = size;
                const int32_t gained = state.first - current;
                if (gained > 0) {
                    next -= (current - limit) / gained;
                }
                bySize[std::max(next, 2) - 1].push_back(index);
            }
        }
        for (const State& state : states) {
            if (state.font != nullptr) {
                Measured& measured = *state.job.measured;
                measured.font = state.font;
                measured.fontSize = state.fontSize;
                measured.width = state.fitted.width;
                measured.height = state.fitted.height;
            }
        }
    }

    // Records shrunk to the same size share one font.
    Gdiplus::Font* ShrunkFont(int32_t points) {
        std::unique_ptr<Gdiplus::Font>& font = shrunkFonts[points];
        if (!font) {
            font = measurer.MakeRegularFont(points);
        }
        return font.get();
    }

    std::shared_ptr<const CommentFontSet> fonts;
    CommentTextMeasurer measurer;
    int32_t frameWidth;
    int32_t frameHeight;
    std::unordered_map<std::wstring, std::array<Measured, kClasses>> texts;
    std::vector<Job> pending;
    std::map<int32_t, std::unique_ptr<Gdiplus::Font>> shrunkFonts;
};

CommentControl::CommentControl() : CommentControl(GetCommentFilter()) {}

CommentControl::CommentControl(const CCommentFilter& filter) : m_filter(filter) {}

CommentControl::~CommentControl() = default;

void CommentControl::SetFrameSize(int32_t width, int32_t height) {
    CAutoLock lock(m_lock);
    m_frameWidth = std::max(width, 1);
    m_frameHeight = std::max(height, 1);
}

void CommentControl::SetCommentFontSizes(const CommentFontSizes& sizes) {
    CAutoLock lock(m_lock);
    m_fontSizes = sizes;
}

std::unique_ptr<CommentControl::Builder> CommentControl::MakeBuilder() {
    StartGdiplus();
    const std::wstring family = GetAppSettings().CommentFont;
    CAutoLock lock(m_lock);
    if (!m_currentFonts || !m_currentFonts->Matches(family, m_fontSizes)) {
        m_currentFonts = std::make_shared<const CommentFontSet>(family, m_fontSizes);
    }
    return std::make_unique<Builder>(m_currentFonts, m_frameWidth, m_frameHeight);
}

// Under the lock: the records about to enter the store keep their fonts alive.
void CommentControl::Adopt(Builder& builder) {
    if (std::find(m_fontSets.begin(), m_fontSets.end(), builder.fonts) == m_fontSets.end()) {
        m_fontSets.push_back(builder.fonts);
    }
    for (auto& font : builder.shrunkFonts) {
        if (font.second) {
            m_fontCache.push_back(std::move(font.second));
        }
    }
    builder.shrunkFonts.clear();
}

CommentRecord CommentControl::BuildCommentRecord(const ChatData& chat) {
    std::unique_ptr<Builder> builder = MakeBuilder();
    const CommentFlags flags = ParseCommandFlags(chat.mail);
    const Builder::Measured& measured = builder->Request(chat.text, flags);
    builder->MeasurePending();
    CommentRecord record = builder->Build(chat, flags, measured);
    CAutoLock lock(m_lock);
    Adopt(*builder);
    return record;
}

bool CommentControl::LoadCommentFile(const std::wstring& path, int32_t count, int32_t start) {
    LoadingMark loading(m_loadsRunning);
    CommentDocument document;
    if (!ReadCommentXml(path, document)) {
        return false;
    }
    std::unique_ptr<Builder> builder = MakeBuilder();
    const int64_t total = static_cast<int64_t>(document.chats.size());
    const int64_t wanted = count < 0 ? total : std::min<int64_t>(count, total);
    const int64_t first = start < 0 ? total - wanted : std::min<int64_t>(start, total);
    const int64_t last = std::min(first + wanted, total);

    struct Kept {
        size_t index;
        CommentFlags flags;
        const Builder::Measured* measured;
    };
    std::vector<Kept> kept;
    kept.reserve(static_cast<size_t>(last - first));
    for (int64_t i = first; i < last; ++i) {
        ChatData& chat = document.chats[static_cast<size_t>(i)];
        if (m_filter.IsCommentAllowed(chat)) {
            const CommentFlags flags = ParseCommandFlags(chat.mail);
            kept.push_back({static_cast<size_t>(i), flags, &builder->Request(chat.text, flags)});
        }
    }
    builder->MeasurePending();
    // Records are large: they are built straight into their place in start order (ties in file order),
    // which a sort of small keys finds first.
    std::vector<std::pair<int32_t, uint32_t>> order;
    order.reserve(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        order.emplace_back(StartOf(document.chats[kept[i].index], kept[i].flags), static_cast<uint32_t>(i));
    }
    std::sort(order.begin(), order.end());
    std::vector<CommentRecord> records;
    records.reserve(kept.size());
    for (const auto& entry : order) {
        const Kept& chat = kept[entry.second];
        records.push_back(builder->Build(std::move(document.chats[chat.index]), chat.flags, *chat.measured));
    }
    {
        CAutoLock lock(m_lock);
        if (m_timeShift != 0) {
            ApplyShift(records, m_timeShift);
        }
        m_comments.swap(records);
        m_lastRes = document.last_res;
        m_video = document.video;
        m_mylist = document.mylist;
        m_drawStart = 0;
        ++m_generation;
        Adopt(*builder);
    }
    return true;
}

void CommentControl::ClearCommentFonts(std::vector<std::shared_ptr<const CommentFontSet>>& fontSets,
                                       std::vector<std::unique_ptr<Gdiplus::Font>>& fonts) {
    fontSets.swap(m_fontSets);
    fonts.swap(m_fontCache);
}

void CommentControl::ClearComments() {
    std::vector<CommentRecord> records;
    std::vector<std::shared_ptr<const CommentFontSet>> fontSets;
    std::vector<std::unique_ptr<Gdiplus::Font>> fonts;
    {
        CAutoLock lock(m_lock);
        records.swap(m_comments);
        ClearCommentFonts(fontSets, fonts);
        m_drawStart = 0;
        m_timeShift = 0;
        ++m_generation;
    }
}

bool CommentControl::ShiftCommentTimes(int32_t offset) {
    CAutoLock lock(m_lock);
    if (offset == m_timeShift || m_comments.empty() || IsLoading()) {
        return false;
    }
    ApplyShift(m_comments, offset);
    m_timeShift = offset;
    ++m_generation;
    return true;
}

bool CommentControl::IsUserCmComment(const std::wstring& text) {
    return text.size() >= 3 && IsOneOf(text[0], {L'@', L'\xFF20'}) &&
           IsOneOf(text[1], {L'C', L'c', L'\xFF23', L'\xFF43'}) && IsOneOf(text[2], {L'M', L'm', L'\xFF2D', L'\xFF4D'});
}

int32_t CommentControl::GetCommentCount() const {
    CAutoLock lock(m_lock);
    return static_cast<int32_t>(m_comments.size());
}

CommentRecord CommentControl::GetCommentRecord(int32_t index) const {
    CAutoLock lock(m_lock);
    if (index < 0 || static_cast<size_t>(index) >= m_comments.size()) {
        return CommentRecord();
    }
    return m_comments[static_cast<size_t>(index)];
}

#define VELA_COMMENT_FIELD(type, name, member)                                                                         \
    type CommentControl::name(int32_t index) const {                                                                   \
        CAutoLock lock(m_lock);                                                                                        \
        if (index < 0 || static_cast<size_t>(index) >= m_comments.size()) {                                            \
            return type();                                                                                             \
        }                                                                                                              \
        return m_comments[static_cast<size_t>(index)].member;                                                          \
    }

VELA_COMMENT_FIELD(ChatData, GetChatData, chat)
VELA_COMMENT_FIELD(int32_t, GetCommentNo, chat.no)
VELA_COMMENT_FIELD(int64_t, GetCommentDate, chat.date)
VELA_COMMENT_FIELD(uint8_t, GetCommentPremium, chat.premium)
VELA_COMMENT_FIELD(std::wstring, GetCommentUserId, chat.user_id)
VELA_COMMENT_FIELD(std::wstring, GetCommentMail, chat.mail)
VELA_COMMENT_FIELD(std::wstring, GetCommentText, chat.text)

#undef VELA_COMMENT_FIELD

int32_t CommentControl::GetLastRes() const {
    CAutoLock lock(m_lock);
    return m_lastRes;
}

int32_t CommentControl::GetVideoCount() const {
    CAutoLock lock(m_lock);
    return m_video;
}

int32_t CommentControl::GetMylistCount() const {
    CAutoLock lock(m_lock);
    return m_mylist;
}

int32_t CommentControl::GetTimeShift() const {
    CAutoLock lock(m_lock);
    return m_timeShift;
}

int32_t CommentControl::GetDrawStart() const {
    CAutoLock lock(m_lock);
    return m_drawStart;
}

CommentFetchArguments CommentControl::GetFetchArguments() const {
    CAutoLock lock(m_lock);
    return m_fetchArguments;
}

void CommentControl::SetFetchArguments(const CommentFetchArguments& arguments) {
    CAutoLock lock(m_lock);
    m_fetchArguments = arguments;
}

void CommentControl::Access::SetDrawStart(int32_t index) {
    const bool valid = index >= 0 && static_cast<size_t>(index) < m_store.m_comments.size();
    m_store.m_drawStart = valid ? index : 0;
}

void CommentControl::Access::SetPosition(size_t index, int32_t x, int32_t row) {
    if (index < m_store.m_comments.size()) {
        m_store.m_comments[index].x = x;
        m_store.m_comments[index].row = row;
    }
}

CommentControl& GetCommentControl() {
    static CommentControl store(GetCommentFilter());
    return store;
}
