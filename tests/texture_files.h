// Helpers for the texture reader tests: image files written into a private temporary folder,
// TGA files built byte by byte, and a count of the process's open files.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A folder under the system's temporary directory, removed with its files at the end.
class ScratchDir {
public:
    ScratchDir() {
        char pattern[] = "/tmp/zandar-textures-XXXXXX";
        path_ = mkdtemp(pattern) ? pattern : "/tmp";
    }
    ~ScratchDir() {
        for (const auto& f : files_) {
            std::remove(f.c_str());
        }
        rmdir(path_.c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string write(const std::string& name, const Bytes& content) {
        const std::string file = path(name);
        FILE* f = std::fopen(file.c_str(), "wb");
        if (f) {
            if (!content.empty()) {
                std::fwrite(content.data(), 1, content.size(), f);
            }
            std::fclose(f);
        }
        return file;
    }
    std::string write(const std::string& name, const std::string& content) {
        return write(name, Bytes(content.begin(), content.end()));
    }
    std::string path(const std::string& name) {
        files_.push_back(path_ + "/" + name);
        return files_.back();
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

// The 18 bytes in front of the pixel data of a TGA file.
inline Bytes tgaHeader(int type, int width, int height, int depth, int descriptor = 0) {
    return {0,
            0,
            static_cast<std::uint8_t>(type),
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            static_cast<std::uint8_t>(width & 0xFF),
            static_cast<std::uint8_t>(width >> 8),
            static_cast<std::uint8_t>(height & 0xFF),
            static_cast<std::uint8_t>(height >> 8),
            static_cast<std::uint8_t>(depth),
            static_cast<std::uint8_t>(descriptor)};
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Deterministic pseudo-random bytes.
inline Bytes noise(std::size_t n, std::uint32_t seed) {
    Bytes out(n);
    for (auto& b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return out;
}

// Number of open file descriptors: a reader that forgets to close its file shows up here.
inline int openFileCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}
