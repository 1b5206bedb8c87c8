// Scratch directories and whole-file reads and writes for the settings tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <ftw.h>
#include <sys/stat.h>

// A fresh directory under $TMPDIR (or /tmp), removed with its contents.
struct ScratchDir {
    std::string Path;
    ScratchDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/hopwatch-settings-XXXXXX";
        if (mkdtemp(pattern.data())) Path = pattern;
        EXPECT_FALSE(Path.empty());
    }
    ~ScratchDir() {
        if (Path.empty()) return;
        chmod(Path.c_str(), 0700);
        nftw(Path.c_str(), [](const char* name, const struct stat*, int, FTW*) { return std::remove(name); }, 16,
             FTW_DEPTH | FTW_PHYS);
    }
    std::string File(const std::string& name) const { return Path + "/" + name; }
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
