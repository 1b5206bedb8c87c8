// Fuzzes the web pages' routing and query parsing with link names of any
// bytes. Input: a link name up to the first newline (behind "<zq", a tag no
// page ever writes), then the request target. Whatever the name, no HTML
// page may carry its tag as markup, and every answer is one of the
// listener's statuses.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/diagram_history.h"
#include "view/web_pages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static AppState* const kState = [] {
        auto* s = new AppState;
        InitAppState(*s);
        ReserveDiagramMemory(*s);
        for (int ch = 0; ch < 2; ++ch) {
            FillRandomHistory(*s, ch, 200, 3, static_cast<unsigned>(ch + 1));
            std::strcpy(s->ChannelTable[ch].CallPath, "QX0FZZ");
            s->ChannelTable[ch].RestoreLineCount = 5;
        }
        return s;
    }();
    static WebScratch& scratch = *new WebScratch;
    [[maybe_unused]] static const int reserved = ReserveWebScratch(scratch);
    static WebAnswer answer;
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* newline = std::memchr(bytes, '\n', size);
    const std::size_t nameSize =
        newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - bytes) : 0;
    char names[3][kCellSize] = {"QX0L1", "", "QX0L3"}, idents[3][kCellSize] = {};
    std::memcpy(names[1], "<zq", 3);
    std::memcpy(names[1] + 3, bytes, nameSize < kCellSize - 4 ? nameSize : kCellSize - 4);
    SetSeriesLinks(*kState, 0, 3, names, idents);
    const std::size_t skip = newline ? nameSize + 1 : 0;
    const WebInputs inputs{1796601600, MetricsInputs{1796601600, 1796600000, Layer2Health{1, 0}}};
    AnswerWebRequest(*kState, scratch, inputs, bytes + skip, size - skip, answer);
    if (answer.Status != 200 && answer.Status != 404 && answer.Status != 414) std::abort();
    if (std::strcmp(answer.ContentType, "text/html; charset=utf-8") == 0 &&
        answer.Body.find("<zq") != std::string::npos)
        std::abort();
    return 0;
}
