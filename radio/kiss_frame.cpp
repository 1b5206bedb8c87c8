#include "radio/kiss_frame.h"

void EncodeKissFrame(int port, const unsigned char* data, std::size_t size, std::vector<unsigned char>* out) {
    out->push_back(kKissFend);
    out->push_back(static_cast<unsigned char>((port & 0x0F) << 4));
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == kKissFend) {
            out->push_back(kKissFesc);
            out->push_back(kKissTfend);
        } else if (data[i] == kKissFesc) {
            out->push_back(kKissFesc);
            out->push_back(kKissTfesc);
        } else {
            out->push_back(data[i]);
        }
    }
    out->push_back(kKissFend);
}

namespace {

void EndFrame(KissDecoder& d, std::vector<std::vector<unsigned char>>* frames) {
    if (d.TooLong || d.Escaped) {
        ++d.Dropped;
    } else if (!d.Bytes.empty()) {
        // Command 0 (data) of our port; anything else is the TNC's business.
        if (d.Bytes[0] == static_cast<unsigned char>((d.Port & 0x0F) << 4) && d.Bytes.size() > 1) {
            frames->emplace_back(d.Bytes.begin() + 1, d.Bytes.end());
        } else {
            ++d.Ignored;
        }
    }
    d.Bytes.clear();
    d.TooLong = d.Escaped = 0;
}

}  // namespace

void DecodeKiss(KissDecoder& d, const unsigned char* bytes, std::size_t size,
                std::vector<std::vector<unsigned char>>* frames) {
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char c = bytes[i];
        if (c == kKissFend) {
            // Every FEND closes what was open and opens the next frame;
            // back-to-back FENDs make empty frames, which are nothing.
            if (d.InFrame) EndFrame(d, frames);
            d.InFrame = 1;
            continue;
        }
        if (!d.InFrame) continue;  // noise before the first FEND
        if (d.Escaped) {
            d.Escaped = 0;
            if (c == kKissTfend) {
                c = kKissFend;
            } else if (c == kKissTfesc) {
                c = kKissFesc;
            } else {
                d.TooLong = 1;  // a broken escape spoils the frame; dropped at its end
                continue;
            }
        } else if (c == kKissFesc) {
            d.Escaped = 1;
            continue;
        }
        if (d.TooLong) continue;
        if (d.Bytes.size() >= kKissMaxFrame + 1) {
            d.TooLong = 1;
            d.Bytes.clear();
            continue;
        }
        d.Bytes.push_back(c);
    }
}
