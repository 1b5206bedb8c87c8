// The AGWPE frame codec and the line splitter, on bytes alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquisition/agw_frame.h"

namespace {

std::vector<unsigned char> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(AgwFrame, EncodesTheHeaderByteForByte) {
    std::vector<unsigned char> out;
    const auto data = Bytes("p\r\r");
    EncodeAgwFrame(1, 'D', 0xF0, "Q1OWN", "Q1DIG-2", data.data(), data.size(), &out);
    ASSERT_EQ(static_cast<std::size_t>(kAgwHeaderBytes + 3), out.size());
    const unsigned char head[kAgwHeaderBytes] = {
        1, 0, 0, 0, 'D', 0, 0xF0, 0,
        'Q', '1', 'O', 'W', 'N', 0, 0, 0, 0, 0,
        'Q', '1', 'D', 'I', 'G', '-', '2', 0, 0, 0,
        3, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<unsigned char>(head, head + kAgwHeaderBytes),
              std::vector<unsigned char>(out.begin(), out.begin() + kAgwHeaderBytes));
    EXPECT_EQ('p', out[kAgwHeaderBytes]);

    // An over-long call is cut so that its field keeps a NUL.
    out.clear();
    EncodeAgwFrame(0, 'X', 0, "ABCDEFGHIJKL", nullptr, nullptr, 0, &out);
    EXPECT_EQ(std::string("ABCDEFGHI\0", 10), std::string(out.begin() + 8, out.begin() + 18));
}

TEST(AgwFrame, DecodesOnlyWhatIsComplete) {
    std::vector<unsigned char> stream;
    const auto hello = Bytes("hello\r");
    EncodeAgwFrame(0, 'D', 0xF0, "Q1DIG", "Q1OWN", hello.data(), hello.size(), &stream);
    EncodeAgwFrame(0, 'd', 0, "Q1DIG", "Q1OWN", nullptr, 0, &stream);

    // Every truncation of the first frame asks for more.
    for (std::size_t n = 0; n < static_cast<std::size_t>(kAgwHeaderBytes) + hello.size(); ++n) {
        AgwFrame f{};
        std::size_t used = 99;
        EXPECT_EQ(kAgwNeedMore, DecodeAgwFrame(stream.data(), n, &f, &used)) << n;
    }
    AgwFrame f{};
    std::size_t used = 0;
    ASSERT_EQ(kAgwFrameReady, DecodeAgwFrame(stream.data(), stream.size(), &f, &used));
    EXPECT_EQ('D', f.Kind);
    EXPECT_EQ(0xF0, f.Pid);
    EXPECT_STREQ("Q1DIG", f.CallFrom);
    EXPECT_STREQ("Q1OWN", f.CallTo);
    EXPECT_EQ(1, f.CallsClean);
    EXPECT_EQ("hello\r", std::string(f.Data, f.Data + f.DataLength));
    ASSERT_EQ(kAgwFrameReady, DecodeAgwFrame(stream.data() + used, stream.size() - used, &f, &used));
    EXPECT_EQ('d', f.Kind);
    EXPECT_EQ(0u, f.DataLength);
}

TEST(AgwFrame, RejectsImpossibleLengthsAndMarksUnreadableCalls) {
    std::vector<unsigned char> frame;
    EncodeAgwFrame(0, 'D', 0xF0, "Q1DIG", "Q1OWN", nullptr, 0, &frame);
    const struct {
        std::uint32_t length;
        AgwDecodeResult result;
    } cases[] = {
        {kAgwMaxDataBytes, kAgwNeedMore},
        {kAgwMaxDataBytes + 1, kAgwBadLength},
        {0xFFFFFFFFu, kAgwBadLength},
    };
    for (const auto& c : cases) {
        frame[28] = static_cast<unsigned char>(c.length);
        frame[29] = static_cast<unsigned char>(c.length >> 8);
        frame[30] = static_cast<unsigned char>(c.length >> 16);
        frame[31] = static_cast<unsigned char>(c.length >> 24);
        AgwFrame f{};
        std::size_t used = 0;
        EXPECT_EQ(c.result, DecodeAgwFrame(frame.data(), frame.size(), &f, &used)) << c.length;
    }

    // Call fields filled to the last byte, and bytes that are not text.
    std::vector<unsigned char> raw(kAgwHeaderBytes, 0);
    raw[4] = 'C';
    for (int i = 0; i < kAgwCallBytes; ++i) raw[8 + i] = static_cast<unsigned char>('A' + i);
    raw[18] = 'Q';
    raw[19] = 0xE4;
    AgwFrame f{};
    std::size_t used = 0;
    ASSERT_EQ(kAgwFrameReady, DecodeAgwFrame(raw.data(), raw.size(), &f, &used));
    EXPECT_STREQ("ABCDEFGHIJ", f.CallFrom);
    EXPECT_EQ(0, f.CallsClean);
    EXPECT_EQ(1, IsKnownAgwKind('C'));
    EXPECT_EQ(0, IsKnownAgwKind('Z'));
    EXPECT_EQ(0, IsKnownAgwKind('\0'));
}

TEST(AgwLines, OneFramePerLineWithTheRemainderOnItsOwnAndLongLinesCut) {
    const struct {
        std::string data;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"=>", {"=>"}},
        {"\r", {"\r"}},
        {"one\rtwo\r", {"one\r", "two\r"}},
        {"report\r=>", {"report\r", "=>"}},
        {"\r\rx", {"\r", "\r", "x"}},
        {std::string("a\0b\n\r", 5), {std::string("a\0b\n\r", 5)}},
        // An overlong line is cut to the count's range.
        {std::string(kAgwMaxLineText + 10, 'x') + "\r", {std::string(kAgwMaxLineText, 'x'), std::string(10, 'x') + "\r"}},
    };
    for (const auto& c : cases) {
        std::vector<std::vector<unsigned char>> frames;
        SplitAgwLines(reinterpret_cast<const unsigned char*>(c.data.data()), c.data.size(), &frames);
        ASSERT_EQ(c.lines.size(), frames.size()) << c.data.substr(0, 20);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const auto& fr = frames[i];
            const std::size_t n = fr[0] | (fr[1] << 8);
            EXPECT_EQ(0, fr[2]);
            ASSERT_EQ(n + kAgwLineFrameHead + 1, fr.size());
            EXPECT_EQ(c.lines[i], std::string(fr.begin() + kAgwLineFrameHead, fr.begin() + kAgwLineFrameHead + static_cast<long>(n)));
            EXPECT_EQ(0, fr.back());  // a NUL behind the text
        }
    }
}

}  // namespace
