// For readers that open their input by name: each fuzz input is written to one in-memory file
// that the reader opens by path (a file on disk would make every run wait for the disk).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

class MemoryFile {
public:
    explicit MemoryFile(const char* name) : fd_(memfd_create(name, 0)) {
        if (fd_ < 0) {
            std::abort();
        }
        std::snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
    }

    // Replaces the file's contents with the input; returns the path to open it by.
    const char* hold(const std::uint8_t* data, std::size_t size) {
        if (ftruncate(fd_, 0) != 0 ||
            (size > 0 && pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size))) {
            std::abort();
        }
        return path_;
    }

private:
    int fd_;
    char path_[64];
};
