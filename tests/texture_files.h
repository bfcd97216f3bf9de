// Helpers for the texture reader tests: files in a private temporary folder, TGA headers,
// pseudo-random bytes and a count of the process's open files.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline Bytes& operator+=(Bytes& a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes operator+(Bytes a, const Bytes& b) { return a += b; }

// A folder under /tmp, removed with its files at the end.
struct ScratchDir {
    std::string root;
    ScratchDir() {
        char pattern[] = "/tmp/zandar-textures-XXXXXX";
        root = mkdtemp(pattern) ? pattern : "/tmp";
    }
    ~ScratchDir() { std::system(("rm -rf " + root).c_str()); }
    std::string path(const std::string& name) const { return root + "/" + name; }
    std::string write(const std::string& name, const Bytes& content) const {
        const std::string file = path(name);
        FILE* f = std::fopen(file.c_str(), "wb");
        if (!content.empty()) {  // an empty vector's data() may be null, which fwrite must not get
            std::fwrite(content.data(), 1, content.size(), f);
        }
        std::fclose(f);
        return file;
    }
};

// The 18 bytes before a TGA file's pixel data.
inline Bytes tgaHeader(int type, int width, int height, int depth, int descriptor = 0) {
    Bytes h(18);
    h[2] = std::uint8_t(type), h[16] = std::uint8_t(depth), h[17] = std::uint8_t(descriptor);
    h[12] = std::uint8_t(width), h[13] = std::uint8_t(width >> 8);
    h[14] = std::uint8_t(height), h[15] = std::uint8_t(height >> 8);
    return h;
}

inline Bytes noise(std::size_t n, std::uint32_t seed) {
    Bytes out(n);
    for (auto& b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = std::uint8_t(seed >> 24);
    }
    return out;
}

// A reader that forgets to close its file shows up here.
inline int openFileCount() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dir && readdir(dir)) ++count;
    if (dir) closedir(dir);
    return count;
}
