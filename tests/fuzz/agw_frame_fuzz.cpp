// Feeds arbitrary bytes, as a TNC might send them, through the AGWPE frame
// decoder and the line splitter: nothing is read out of bounds, the line
// frames add up to the data they came from, and a decoded frame encodes
// back to the same header fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "radio/agw_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AgwFrame frame{};
    std::size_t used = 0;
    for (std::size_t offset = 0;
         DecodeAgwFrame(data + offset, size - offset, &frame, &used) == kAgwFrameReady; offset += used) {
        if (used < static_cast<std::size_t>(kAgwHeaderBytes) || used > size - offset ||
            frame.DataLength > kAgwMaxDataBytes || std::strlen(frame.CallFrom) > kAgwCallBytes) {
            std::abort();
        }
        std::vector<std::vector<unsigned char>> lines;
        SplitAgwLines(frame.Data, frame.DataLength, &lines);
        std::size_t total = 0;
        for (const auto& line : lines) {
            const std::size_t n = line[0] | (line[1] << 8);
            if (n == 0 || line.size() != n + kL2FrameHead + 1 || line.back() != 0) std::abort();
            if (std::memcmp(line.data() + kL2FrameHead, frame.Data + total, n) != 0) std::abort();
            total += n;
        }
        if (total != frame.DataLength) std::abort();

        std::vector<unsigned char> again;
        EncodeAgwFrame(frame.Port, frame.Kind, frame.Pid, frame.CallFrom, frame.CallTo, frame.Data,
                       frame.DataLength, &again);
        AgwFrame back{};
        std::size_t backUsed = 0;
        if (DecodeAgwFrame(again.data(), again.size(), &back, &backUsed) != kAgwFrameReady ||
            back.Kind != frame.Kind || back.DataLength != frame.DataLength || backUsed != again.size() ||
            (std::strlen(frame.CallFrom) < kAgwCallBytes &&
             std::strcmp(back.CallFrom, frame.CallFrom) != 0)) {
            std::abort();
        }
    }
    return 0;
}
