// Scratch directories and whole-file reads and writes for tests that touch
// the file system, and a file-size limit to make a write fail part-way.
#pragma once

#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

// A fresh private directory under $TMPDIR (or /tmp), removed with its
// contents even when a test left it read-only.
struct ScratchDir {
    std::string Path;
    ScratchDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/hopwatch-test-XXXXXX";
        if (mkdtemp(pattern.data())) Path = pattern;
        EXPECT_FALSE(Path.empty());
    }
    ~ScratchDir() {
        if (Path.empty()) return;
        chmod(Path.c_str(), 0700);
        nftw(
            Path.c_str(), [](const char* name, const struct stat*, int, FTW*) { return std::remove(name); },
            16, FTW_DEPTH | FTW_PHYS);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string File(const std::string& name) const { return Path + "/" + name; }
};

inline bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

inline std::string ReadAll(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Runs `write` with files limited to `bytes`, so that a write fails
// part-way for root as for anyone; returns what `write` returned.
template <typename Write>
int WithFileSizeLimit(rlim_t bytes, Write write) {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = bytes;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = write();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    return result;
}
