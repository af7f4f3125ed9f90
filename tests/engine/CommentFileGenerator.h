#pragma once
// Comment files of many chats for the layout test and the benchmark: mixed commands, Japanese texts,
// vpos spread evenly over the given length, the same file for the same seed.

#include "engine/CommentRecord.h"

#include <cstdint>
#include <string>
#include <vector>

struct GeneratedCommentFile {
    int32_t count = 0;
    int64_t bytes = 0;
};

// The chats of such a file, in file order.
std::vector<ChatData> GenerateChats(int32_t count, int32_t lengthMs, uint32_t seed);
GeneratedCommentFile GenerateCommentFile(const std::wstring& path, int32_t count, int32_t lengthMs, uint32_t seed);
