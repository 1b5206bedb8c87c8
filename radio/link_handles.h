// What the backends that reach a TNC share about their links: the words of
// a connect path, and the table of handles.
//
// Threading: plain functions on the caller's data.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Cuts a connect path into its calls, the destination first and then the
// digipeaters, separated by blanks (commas and tabs are tolerated), and
// hands each to take(word, index); stops when take returns 0. Returns how
// many words there were up to then, or -1 when take refused one.
template <class Take>
int ForEachPathCall(const char* path, Take take) {
    int count = 0;
    for (const char* p = path; p != nullptr && *p != '\0';) {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        if (*p == '\0') break;
        const char* end = p;
        while (*end != '\0' && *end != ' ' && *end != '\t' && *end != ',') ++end;
        if (!take(std::string(p, end), count)) return -1;
        ++count;
        p = end;
    }
    return count;
}

// A new link with a fresh nonzero handle, appended to links (Link has
// Handle and Serial). When `most` links are held, the oldest one that is
// down goes, preferring one with nothing left to read; null when every
// link is in use.
template <class Link, class IsDown, class HasUnread>
Link* NewHandleLink(std::vector<std::unique_ptr<Link>>& links, int most, std::uint16_t& lastHandle,
                    long long& serial, IsDown isDown, HasUnread hasUnread) {
    if (static_cast<int>(links.size()) >= most) {
        auto victim = links.end();
        for (int pass = 0; pass < 2 && victim == links.end(); ++pass) {
            for (auto it = links.begin(); it != links.end(); ++it) {
                if (!isDown(**it) || (pass == 0 && hasUnread(**it))) continue;
                if (victim == links.end() || (*it)->Serial < (*victim)->Serial) victim = it;
            }
        }
        if (victim == links.end()) return nullptr;
        links.erase(victim);
    }
    auto taken = [&](std::uint16_t h) {
        for (const auto& l : links) {
            if (l->Handle == h) return 1;
        }
        return 0;
    };
    do {
        ++lastHandle;
    } while (lastHandle == 0 || taken(lastHandle));
    auto link = std::make_unique<Link>();
    link->Handle = lastHandle;
    link->Serial = ++serial;
    links.push_back(std::move(link));
    return links.back().get();
}
