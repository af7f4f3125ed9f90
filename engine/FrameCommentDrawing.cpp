#include "engine/FrameCommentDrawing.h"

#include "foundation/AppSettings.h"
#include "foundation/CCritSec.h"

#include <algorithm>

int32_t CFrameCommentDrawing::Draw(CommentControl& store, const AppSettings& settings, const FrameBits& frame,
                                   int32_t positionMs, const POINT* mouse) {
    CommentControl::Access access(store);
    if (!m_hasGeneration || access.Generation() != m_generation) {
        // Indexes name other records now.
        m_texts.clear();
        m_generation = access.Generation();
        m_hasGeneration = true;
    }
    m_layout.SetFrameSize(frame.width, frame.height);
    m_layout.SetCommentLimit(settings.ViewCommentLimit ? settings.ViewCommentLimitNum : 0);
    m_layout.GetVisibleComments(access, positionMs, m_visible);

    const uint32_t alpha = static_cast<uint32_t>(std::clamp(settings.CommentAlpha, 0, 100) * 255 / 100);
    const std::vector<CommentRecord>& records = access.Comments();
    int32_t underMouse = -1;
    for (const VisibleComment& visible : m_visible) {
        auto found = m_texts.find(visible.index);
        if (found == m_texts.end()) {
            found = m_texts.emplace(visible.index, m_renderer.Render(records[visible.index])).first;
            ++m_rendered;
        }
        BlendCommentText(frame, found->second, visible.x, visible.y, alpha);
        if (mouse != nullptr && mouse->x >= visible.x && mouse->x < visible.x + visible.width &&
            mouse->y >= visible.y && mouse->y < visible.y + visible.height) {
            underMouse = visible.index;
        }
    }
    // A text leaves the cache once its comment has left the screen, so the cache holds the screen.
    if (m_texts.size() > m_visible.size()) {
        m_stale.clear();
        for (const auto& text : m_texts) {
            // The layout lists the visible comments in store order.
            const auto shown =
                std::lower_bound(m_visible.begin(), m_visible.end(), text.first,
                                 [](const VisibleComment& visible, int32_t index) { return visible.index < index; });
            if (shown == m_visible.end() || shown->index != text.first) {
                m_stale.push_back(text.first);
            }
        }
        for (int32_t index : m_stale) {
            m_texts.erase(index);
        }
    }
    return underMouse;
}

int32_t DrawComments(const FrameBits& frame, int32_t positionMs, const POINT* mouse) {
    // Never destroyed: a frame may still be drawn while static objects are destroyed at exit.
    static CCritSec* const lock = new CCritSec;
    static CFrameCommentDrawing* const drawing = new CFrameCommentDrawing;
    CAutoLock guard(lock);
    return drawing->Draw(GetCommentControl(), GetAppSettings(), frame, positionMs, mouse);
}
