// Feeds arbitrary bytes, as a TNC might send them, through the AGWPE frame
// decoder and the line splitter, and checks that nothing is read out of
// bounds and that the line frames add up to the data they came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "acquisition/agw_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t offset = 0;
    for (;;) {
        AgwFrame frame{};
        std::size_t used = 0;
        const AgwDecodeResult r = DecodeAgwFrame(data + offset, size - offset, &frame, &used);
        if (r != kAgwFrameReady) break;
        if (used < static_cast<std::size_t>(kAgwHeaderBytes) || used > size - offset) std::abort();
        if (frame.DataLength > kAgwMaxDataBytes) std::abort();
        if (std::strlen(frame.CallFrom) > static_cast<std::size_t>(kAgwCallBytes)) std::abort();
        (void)IsKnownAgwKind(frame.Kind);

        std::vector<std::vector<unsigned char>> lines;
        SplitAgwLines(frame.Data, frame.DataLength, &lines);
        std::size_t total = 0;
        for (const auto& line : lines) {
            const std::size_t n = line[0] | (line[1] << 8);
            if (n == 0 || line.size() != n + kAgwLineFrameHead + 1 || line.back() != 0) std::abort();
            if (std::memcmp(line.data() + kAgwLineFrameHead, frame.Data + total, n) != 0) std::abort();
            total += n;
        }
        if (total != frame.DataLength) std::abort();

        // What we decode, we encode back to the same header fields.
        std::vector<unsigned char> again;
        EncodeAgwFrame(frame.Port, frame.Kind, frame.Pid, frame.CallFrom, frame.CallTo, frame.Data,
                       frame.DataLength, &again);
        AgwFrame back{};
        std::size_t backUsed = 0;
        if (DecodeAgwFrame(again.data(), again.size(), &back, &backUsed) != kAgwFrameReady) std::abort();
        if (back.Kind != frame.Kind || back.DataLength != frame.DataLength || backUsed != again.size()) std::abort();
        if (std::strlen(frame.CallFrom) < static_cast<std::size_t>(kAgwCallBytes) &&
            std::strcmp(back.CallFrom, frame.CallFrom) != 0) {
            std::abort();
        }
        offset += used;
    }
    return 0;
}
