// The AGWPE frame codec and the line splitter, on bytes alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquisition/agw_frame.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(AgwFrame, EncodesTheHeaderByteForByteAndCutsLongCalls) {
    Bytes out;
    EncodeAgwFrame(1, 'D', 0xF0, "Q1OWN", "Q1DIG-2", reinterpret_cast<const unsigned char*>("p\r\r"), 3,
                   &out);
    EncodeAgwFrame(0, 'X', 0, "ABCDEFGHIJKL", nullptr, nullptr, 0, &out);
    const Bytes expected = {1,   0,   0,   0,   'D', 0,   0xF0, 0,                   // radio port, kind, PID
                            'Q', '1', 'O', 'W', 'N', 0,   0,    0, 0,   0,           // CallFrom
                            'Q', '1', 'D', 'I', 'G', '-', '2',  0, 0,   0,           // CallTo
                            3,   0,   0,   0,   0,   0,   0,    0, 'p', '\r', '\r',  // DataLength, user, data
                            0,   0,   0,   0,   'X', 0,   0,    0, 'A', 'B',  'C',
                            'D', 'E', 'F', 'G', 'H', 'I', 0,  // cut so that the field keeps a NUL
                            0,   0,   0,   0,   0,   0,   0,    0, 0,   0,    0,
                            0,   0,   0,   0,   0,   0,   0};
    EXPECT_EQ(expected, out);
}

TEST(AgwFrame, DecodesOnlyWhatIsCompleteAndRejectsImpossibleLengths) {
    Bytes stream;
    EncodeAgwFrame(0, 'D', 0xF0, "Q1DIG", "Q1OWN", reinterpret_cast<const unsigned char*>("hello\r"), 6,
                   &stream);
    EncodeAgwFrame(0, 'd', 0, "", "Q\xE4", nullptr, 0, &stream);
    for (int i = 0; i < kAgwCallBytes; ++i)
        stream[42 + 8 + i] = static_cast<unsigned char>('A' + i);  // full field
    AgwFrame f{};
    std::size_t used = 0;
    for (std::size_t n = 0; n < static_cast<std::size_t>(kAgwHeaderBytes) + 6; ++n) {
        EXPECT_EQ(kAgwNeedMore, DecodeAgwFrame(stream.data(), n, &f, &used)) << n;  // every truncation
    }
    ASSERT_EQ(kAgwFrameReady, DecodeAgwFrame(stream.data(), stream.size(), &f, &used));
    EXPECT_EQ(
        (std::vector<std::string>{"D", "240", "Q1DIG", "Q1OWN", "hello\r", "1"}),
        (std::vector<std::string>{std::string(1, f.Kind), std::to_string(f.Pid), f.CallFrom, f.CallTo,
                                  std::string(f.Data, f.Data + f.DataLength), std::to_string(f.CallsClean)}));
    ASSERT_EQ(kAgwFrameReady, DecodeAgwFrame(stream.data() + used, stream.size() - used, &f, &used));
    EXPECT_EQ((std::vector<std::string>{"d", "ABCDEFGHIJ", "0"}),  // a call that is not text
              (std::vector<std::string>{std::string(1, f.Kind), f.CallFrom, std::to_string(f.CallsClean)}));

    for (const std::uint32_t length : {kAgwMaxDataBytes, kAgwMaxDataBytes + 1, 0xFFFFFFFFu}) {
        for (int i = 0; i < 4; ++i) stream[28 + i] = static_cast<unsigned char>(length >> (8 * i));
        EXPECT_EQ(length > kAgwMaxDataBytes ? kAgwBadLength : kAgwNeedMore,
                  DecodeAgwFrame(stream.data(), kAgwHeaderBytes, &f, &used))
            << length;
    }
}

TEST(AgwLines, OneFramePerLineWithTheRemainderOnItsOwnAndLongLinesCut) {
    const std::string longLine = std::string(kAgwMaxLineText + 10, 'x') + "\r";
    const struct {
        std::string data;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"\r\rx", {"\r", "\r", "x"}},
        {std::string("a\0b\n\r", 5), {std::string("a\0b\n\r", 5)}},
        {longLine, {std::string(kAgwMaxLineText, 'x'), std::string(10, 'x') + "\r"}},
    };
    for (const auto& c : cases) {
        std::vector<Bytes> frames;
        SplitAgwLines(reinterpret_cast<const unsigned char*>(c.data.data()), c.data.size(), &frames);
        // Each frame: 16-bit little-endian count, a 0, the text, a NUL.
        std::vector<std::string> lines;
        for (const Bytes& fr : frames) {
            const std::size_t n = fr[0] | (fr[1] << 8);
            EXPECT_EQ((Bytes{0, 0}), (Bytes{fr[2], fr.back()}));
            EXPECT_EQ(n + kAgwLineFrameHead + 1, fr.size());
            lines.emplace_back(fr.begin() + kAgwLineFrameHead, fr.end() - 1);
        }
        EXPECT_EQ(c.lines, lines) << c.data.substr(0, 20);
    }
}

}  // namespace
