// The line source every text file of the model library is read through: streamed through one
// buffer, or mapped a window at a time; lines joined where a backslash continues them.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "glm/glm_internal.h"

namespace glm_detail {

namespace {
constexpr size_t kChunk = 1 << 18;   // read size; the buffer grows only for longer lines
constexpr size_t kWindow = 1 << 20;  // mapped at once; grows only for longer lines
}  // namespace

LineSource::LineSource(FILE* file) : file_(file) {
    stream();
}

LineSource::LineSource(FILE* file, Whole) : file_(file) {
    struct stat info;
    const int fd = fileno(file);
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<uint64_t>(info.st_size) > kChunk) {
        fd_ = fd;
        size_ = static_cast<uint64_t>(info.st_size);
        page_ = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
        if (map(0, static_cast<size_t>(std::min<uint64_t>(kWindow, size_)))) {
            cursor_ = map_;
            restart();
            return;
        }
    }
    std::rewind(file);
    stream();
}

LineSource::LineSource(const char* text, size_t size)
    : cursor_(text), limit_(text + size), eof_(true) {
    restart();
}

LineSource::~LineSource() {
    unmap();
}

bool LineSource::nextLine(const char*& begin, const char*& end) {
    return findLine(begin, end) || nextSlow(begin, end);
}

bool LineSource::findLine(const char*& begin, const char*& end) {
    for (;;) {
        if (feeds_) {
            const char* lf = block_ + __builtin_ctzll(feeds_);
            if (lf >= limit_) {
                return false;
            }
            feeds_ &= feeds_ - 1;
            begin = cursor_;
            end = lf > cursor_ && lf[-1] == '\r' ? lf - 1 : lf;
            cursor_ = lf + 1;
            first_ = ++line_;
            ended_ = true;
            return true;
        }
        block_ += 64;
        if (block_ >= limit_) {
            return false;
        }
        feeds_ = lineFeeds(block_);
    }
}

// Looks for line feeds again from the first byte not handed out.
void LineSource::restart() {
    block_ = cursor_;
    feeds_ = cursor_ < limit_ ? lineFeeds(cursor_) : 0;
}

// The pending line has no line feed among the bytes at hand: fetch more, or end.
bool LineSource::nextSlow(const char*& begin, const char*& end) {
    for (;;) {
        if (eof_) {
            if (cursor_ >= limit_) {
                return false;
            }
            begin = cursor_;  // the last line, without a line end
            end = limit_;
            cursor_ = limit_;
            first_ = ++line_;
            ended_ = false;
            feeds_ = 0;
            return true;
        }
        if (map_) {
            advance();
        } else {
            refill();
        }
        restart();
        if (findLine(begin, end)) {
            return true;
        }
    }
}

// A line ending in a backslash and the lines that continue it, as one statement.
void LineSource::join(const char*& begin, const char*& end) {
    const unsigned long first = first_;
    joined_.assign(begin, end - 1);
    const char *b, *e;
    while (ended_ && nextLine(b, e)) {
        joined_.push_back(' ');
        joined_.insert(joined_.end(), b, e);
        if (e == b || e[-1] != '\\') {
            break;
        }
        joined_.pop_back();
    }
    first_ = first;
    const size_t size = joined_.size();
    joined_.push_back('\n');
    joined_.resize(size + 1 + kPadding, '\0');
    begin = joined_.data();
    end = begin + size;
}

void LineSource::stream() {
    buffer_.assign(kChunk + 1 + kPadding, '\0');
    buffer_[0] = '\n';
    cursor_ = limit_ = buffer_.data();
    restart();
}

// Keeps the unfinished line at the front of the buffer and reads more after it.
void LineSource::refill() {
    char* base = buffer_.data();
    const auto kept = static_cast<size_t>(limit_ - cursor_);
    if (kept > 0 && cursor_ != base) {
        std::memmove(base, cursor_, kept);
    }
    size_t capacity = buffer_.size() - 1 - kPadding;
    if (kept == capacity) {
        capacity *= 2;
        buffer_.resize(capacity + 1 + kPadding);
        base = buffer_.data();
    }
    const size_t got = std::fread(base + kept, 1, capacity - kept, file_);
    eof_ = got < capacity - kept;
    base[kept + got] = '\n';
    cursor_ = base;
    limit_ = base + kept + got;
}

// Maps the window at `offset` (a multiple of the page size, not beyond the end of the file as it
// was at the start); lines are taken from it only up to kPadding bytes before its end.
bool LineSource::map(uint64_t offset, size_t length) {
    void* at = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_,
                    static_cast<off_t>(offset));
    if (at == MAP_FAILED) {
        return false;
    }
    map_ = static_cast<char*>(at);
    mapOffset_ = offset;
    mapLength_ = length;
    limit_ = map_ + length - kPadding;
    return true;
}

void LineSource::unmap() {
    if (map_) {
        munmap(map_, mapLength_);
        map_ = nullptr;
    }
}

// Moves the window on to the pending line (a longer window for a line longer than the window),
// or, near the file's end, reads the rest of the file (however much it holds by then) into the
// buffer and goes on as a stream at its end.
void LineSource::advance() {
    const uint64_t at = mapOffset_ + static_cast<uint64_t>(cursor_ - map_);
    const uint64_t offset = at - at % page_;
    const bool last = mapOffset_ + mapLength_ >= size_;
    const uint64_t length = std::min<uint64_t>(
        offset == mapOffset_ ? 2 * mapLength_ : std::max(mapLength_, kWindow), size_ - offset);
    unmap();
    if (!last && length > 4 * kPadding && map(offset, static_cast<size_t>(length))) {
        cursor_ = map_ + (at - offset);
        return;
    }
    stream();
    if (fseeko(file_, static_cast<off_t>(at), SEEK_SET) != 0) {
        eof_ = true;  // nothing more
        return;
    }
    refill();
}

}  // namespace glm_detail
