#include "tests/engine/CommentFileGenerator.h"

#include "engine/CommentXml.h"
#include "foundation/StringUtil.h"

#include <fstream>
#include <random>

namespace {

const wchar_t kJapanese[] =
    L"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
    L"アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン"
    L"動画面白最高神回草笑弾幕職人歌上手可愛格好良音楽映像字幕一二三四五六七八九十！？ー～　";
const wchar_t* const kAscii[] = {L"www", L"888", L"wktk", L"GJ", L"kwsk", L"乙", L"ｗｗｗ", L"(ﾟ∀ﾟ)", L"<>&\"'"};
const wchar_t* const kPositions[] = {L"", L"", L"", L"", L"", L"", L"naka", L"ue", L"ue", L"shita", L"shita"};
const wchar_t* const kSizes[] = {L"", L"", L"", L"", L"", L"", L"big", L"small", L"medium"};
const wchar_t* const kColors[] = {L"",       L"",      L"",     L"",     L"",       L"red",   L"pink",   L"orange",
                                  L"yellow", L"green", L"cyan", L"blue", L"purple", L"black", L"white2", L"#33CC99"};

} // namespace

std::vector<ChatData> GenerateChats(int32_t count, int32_t lengthMs, uint32_t seed) {
    std::mt19937 random(seed);
    const size_t japaneseCount = sizeof(kJapanese) / sizeof(kJapanese[0]) - 1;
    auto pick = [&random](size_t n) { return static_cast<size_t>(random() % n); };
    std::vector<ChatData> chats;
    chats.reserve(static_cast<size_t>(count > 0 ? count : 0));
    for (int32_t i = 0; i < count; ++i) {
        ChatData chat;
        chat.thread = 1234567890;
        chat.no = i + 1;
        chat.vpos = static_cast<int32_t>(static_cast<int64_t>(lengthMs / 10) * i / count + pick(50));
        chat.date = 1200000000 + i * 7;
        std::wstring mail;
        if (pick(10) < 6) {
            mail = L"184";
        }
        for (const std::wstring& word :
             {std::wstring(kPositions[pick(11)]), std::wstring(kSizes[pick(9)]), std::wstring(kColors[pick(16)])}) {
            if (!word.empty()) {
                mail += (mail.empty() ? L"" : L" ") + word;
            }
        }
        chat.mail = mail;
        chat.user_id = L"u" + std::to_wstring(random() % 20000) + L"AbCdEfGhIjKl";
        chat.premium = pick(5) == 0 ? 1 : 0;
        const size_t length = 2 + pick(20);
        for (size_t c = 0; c < length; ++c) {
            if (pick(12) == 0) {
                chat.text += kAscii[pick(9)];
            } else {
                chat.text += kJapanese[pick(japaneseCount)];
            }
        }
        chats.push_back(std::move(chat));
    }
    return chats;
}

GeneratedCommentFile GenerateCommentFile(const std::wstring& path, int32_t count, int32_t lengthMs, uint32_t seed) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet>\n"
                      "<thread thread=\"1234567890\" last_res=\"" +
                      std::to_string(count) +
                      "\" ticket=\"0x1\"/>\n"
                      "<view_counter video=\"123456\" id=\"sm1\" mylist=\"4321\"/>\n";
    for (const ChatData& chat : GenerateChats(count, lengthMs, seed)) {
        out += WideToUtf8(FormatChatElement(chat));
        out += '\n';
    }
    out += "</packet>\n";
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    GeneratedCommentFile result;
    result.count = file.good() ? count : 0;
    result.bytes = static_cast<int64_t>(out.size());
    return result;
}
