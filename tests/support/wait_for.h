// Waiting for a condition instead of sleeping for a time: a busy machine
// (two test programs and a sanitizer build at once) may take any time, so a
// verdict never rests on how long a sleep lasted, only on what was seen
// before a generous deadline.
#pragma once

#include <chrono>
#include <thread>

// Looks at `done` until it holds or `ms` have passed, running `pace` between
// looks (a Qt test runs its event loop there); says whether it held.
template <class Done, class Pace = void (*)()>
bool WaitFor(
    Done done, int ms, Pace pace = [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        pace();
    }
    return true;
}
