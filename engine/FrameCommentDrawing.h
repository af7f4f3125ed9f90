#pragma once
// The comments of the store drawn onto a frame: placed by the comment layout, each text drawn once
// into a cached bitmap (FrameCommentText.h) while it is on screen and blended into every frame, at
// the CommentAlpha setting's opacity.
//
// Thread use: one thread at a time (the filter's frame lock serialises the callers).

#include "engine/CommentControl.h"
#include "engine/CommentLayout.h"
#include "engine/FrameBits.h"
#include "engine/FrameCommentText.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

struct AppSettings;

class CFrameCommentDrawing {
public:
    // Draws the comments visible at positionMs into the frame; the result is the store index of the
    // topmost comment under mouse (frame pixels), or -1.
    int32_t Draw(CommentControl& store, const AppSettings& settings, const FrameBits& frame, int32_t positionMs,
                 const POINT* mouse);
    // Texts drawn so far (each comment once while it stays on screen).
    uint64_t RenderedTexts() const { return m_rendered; }

private:
    CommentLayout m_layout;
    CCommentTextRenderer m_renderer;
    std::vector<VisibleComment> m_visible;
    std::unordered_map<int32_t, CommentTextBitmap> m_texts;
    std::vector<int32_t> m_stale;
    uint64_t m_generation = 0;
    bool m_hasGeneration = false;
    uint64_t m_rendered = 0;
};

// The process's comment drawing over GetCommentControl(), in the form the draw callback calls.
int32_t DrawComments(const FrameBits& frame, int32_t positionMs, const POINT* mouse);
