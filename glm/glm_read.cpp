// Reading OBJ files: a counting pass, exact allocation, and a filling pass over the same lines.
//
// Both passes read the file line by line and classify each line by its first word with the same
// code, so they always agree on what they count. The common lines (plain numbers, plain faces)
// take shortcuts that give exactly what the general reading gives, and anything a shortcut does
// not recognise goes the general way. The fill pass still checks every store against what was
// allocated, so a file that changes between the passes cannot overrun the arrays.
#undef NDEBUG  // preconditions are checked in every build
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "glm/glm_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(GLM_WIDE_FACES)
#include <immintrin.h>
#endif

using namespace glm_detail;

namespace {

// ---- Statements ------------------------------------------------------------------------------

enum class Statement { Skip, Vertex, Normal, TexCoord, UnknownV, MtlLib, UseMtl, Group, Face };

Statement classify(std::string_view token) {
    switch (token[0]) {
        case '#':
            return Statement::Skip;
        case 'v':
            if (token.size() == 1 || token[1] == '\0') {
                return Statement::Vertex;
            }
            if (token[1] == 'n') {
                return Statement::Normal;
            }
            if (token[1] == 't') {
                return Statement::TexCoord;
            }
            return Statement::UnknownV;
        case 'm':
            return Statement::MtlLib;
        case 'u':
            return Statement::UseMtl;
        case 'g':
            return Statement::Group;
        case 'f':
            return Statement::Face;
        default:
            return Statement::Skip;
    }
}

// Splits a line into its first word and the rest (which keeps the blank after the word).
bool splitStatement(std::string_view line, std::string_view& token, std::string_view& rest) {
    rest = line;
    token = nextWord(rest);
    return !token.empty();
}

// ---- Lines -----------------------------------------------------------------------------------

constexpr size_t kChunk = 1 << 18;   // read size; the buffer grows only for longer lines
constexpr size_t kWindow = 1 << 22;  // mapped at once; grows only for longer lines
constexpr size_t kPadding = 64;      // readable bytes after every line's end byte

// Yields the lines of a file or of a block of memory, without their line end (LF, or CR LF as a
// text-mode stream on the original platform would read it; a lone CR stays in the line). Every
// line handed out is followed by the byte that ended it ('\n', or the '\r' of a CR LF; a '\n'
// after the last line when the file has none) and kPadding readable bytes, so the scanners may
// look ahead without bounds checks and find the line's end by its value.
//
// A file is streamed through one buffer, or, when the reader reads a large regular file whole,
// mapped a window at a time so that its bytes are not copied; what follows the last window's
// last full line (less than a line and kPadding bytes) is read into the buffer like the end of
// a stream, so every line keeps its readable bytes after it.
class LineSource {
public:
    // Where reading stands: the bytes not yet handed out are [cursor, limit), and the first
    // `searched` of them hold no '\n'. Kept by the caller, so that it lives in registers.
    struct Span {
        const char* cursor;
        const char* limit;
        size_t searched;
    };

    // Streams `file` from its current position.
    explicit LineSource(FILE* file) : file_(file) { stream(); }

    struct Whole {};
    // All of `file`, from its start (wherever its position is left).
    LineSource(FILE* file, Whole) : file_(file) {
        struct stat info;
        const int fd = fileno(file);
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<uint64_t>(info.st_size) > kChunk) {
            fd_ = fd;
            size_ = static_cast<uint64_t>(info.st_size);
            page_ = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
            if (map(0, static_cast<size_t>(std::min<uint64_t>(kWindow, size_)))) {
                start_ = Span{map_, map_ + mapLength_ - kPadding, 0};
                return;
            }
        }
        std::rewind(file);
        stream();
    }

    // `text` holds `size` bytes followed by a '\n' and kPadding readable bytes.
    LineSource(char* text, size_t size) : start_{text, text + size, 0}, eof_(true) {}

    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;
    ~LineSource() { unmap(); }

    Span start() const { return start_; }

    // The next line of `span`; false at the end.
    __attribute__((always_inline)) bool next(Span& span, const char*& begin, const char*& end) {
        for (;;) {
            const char* lf = findLineFeed(span.cursor + span.searched, span.limit);
            if (lf != span.limit) {
                begin = span.cursor;
                end = lf > span.cursor && lf[-1] == '\r' ? lf - 1 : lf;
                span.cursor = lf + 1;
                span.searched = 0;
                return true;
            }
            span.searched = static_cast<size_t>(span.limit - span.cursor);
            span = more(span);
            if (span.searched == static_cast<size_t>(span.limit - span.cursor)) {  // no more
                if (span.searched == 0) {
                    return false;
                }
                begin = span.cursor;  // the last line, without a line end
                end = span.limit;
                span.cursor = span.limit;
                span.searched = 0;
                return true;
            }
        }
    }

private:
    // The first '\n' in [p, limit), or limit; 32 bytes at a time (limit + 31 is readable).
    static const char* findLineFeed(const char* p, const char* limit) {
#if defined(__SSE2__)
        const __m128i lf = _mm_set1_epi8('\n');
        for (; p < limit; p += 32) {
            const auto low = static_cast<uint32_t>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), lf)));
            const auto high = static_cast<uint32_t>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), lf)));
            if (const uint32_t found = low | high << 16) {
                const char* at = p + __builtin_ctz(found);
                return at < limit ? at : limit;
            }
        }
        return limit;
#else
        const void* at = std::memchr(p, '\n', static_cast<size_t>(limit - p));
        return at ? static_cast<const char*>(at) : limit;
#endif
    }

    void stream() {
        buffer_.assign(kChunk + 1 + kPadding, '\0');
        buffer_[0] = '\n';
        start_ = Span{buffer_.data(), buffer_.data(), 0};
    }

    // The span with more bytes after its pending line, or as it was at the end.
    __attribute__((noinline)) Span more(Span span) {
        return map_ ? advance(span) : refill(span);
    }

    // Keeps the unfinished line at the front of the buffer and reads more after it.
    Span refill(Span span) {
        if (eof_) {
            return span;
        }
        char* base = buffer_.data();
        const auto kept = static_cast<size_t>(span.limit - span.cursor);
        if (kept > 0 && span.cursor != base) {
            std::memmove(base, span.cursor, kept);
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
        return Span{base, base + kept + got, span.searched};
    }

    // Maps the window at `offset` (a multiple of the page size, the window not beyond the end of
    // the file as it was at the start); lines are taken from it only up to kPadding bytes before
    // its end.
    bool map(uint64_t offset, size_t length) {
        void* at = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_,
                        static_cast<off_t>(offset));
        if (at == MAP_FAILED) {
            return false;
        }
        map_ = static_cast<char*>(at);
        mapOffset_ = offset;
        mapLength_ = length;
        return true;
    }

    void unmap() {
        if (map_) {
            munmap(map_, mapLength_);
            map_ = nullptr;
        }
    }

    // Moves the window on to the pending line, or, near the file's end, reads the rest of the
    // file (however much it holds by then) into the buffer and goes on as a stream at its end.
    Span advance(Span span) {
        const uint64_t at = mapOffset_ + static_cast<uint64_t>(span.cursor - map_);
        const uint64_t offset = at - at % page_;
        const bool last = mapOffset_ + mapLength_ >= size_;
        const uint64_t length = std::min<uint64_t>(
            offset == mapOffset_ ? 2 * mapLength_ : std::max(mapLength_, kWindow), size_ - offset);
        unmap();
        if (!last && length > 4 * kPadding && map(offset, static_cast<size_t>(length))) {
            return Span{map_ + (at - offset), map_ + length - kPadding, span.searched};
        }
        stream();
        if (fseeko(file_, static_cast<off_t>(at), SEEK_SET) != 0) {
            eof_ = true;
            return start_;  // nothing more
        }
        const Span read = refill(start_);
        return Span{read.cursor, read.limit,
                    std::min(span.searched, static_cast<size_t>(read.limit - read.cursor))};
    }

    FILE* file_ = nullptr;
    std::vector<char> buffer_;
    Span start_{nullptr, nullptr, 0};
    bool eof_ = false;

    int fd_ = -1;  // mapping: the file, its size at the start, the window
    uint64_t size_ = 0, page_ = 4096;
    char* map_ = nullptr;
    uint64_t mapOffset_ = 0;
    size_t mapLength_ = 0;
};

// A block of memory as LineSource takes it: the text, a '\n', then the padding.
void padText(std::vector<char>& text) {
    text.push_back('\n');
    text.resize(text.size() + kPadding, '\0');
}

// ---- Faces -----------------------------------------------------------------------------------

bool literal(const char*& p, const char* end, char c) {
    if (p < end && *p == c) {
        ++p;
        return true;
    }
    return false;
}

// One corner in the face's format, as scanf would read it: fields that do not convert keep the
// previous corner's values; the cursor moves past what was read. Returns the fields converted.
int scanCorner(const char*& p, const char* end, CornerFormat format, Corner& c) {
    int64_t value;
    if (!scanInt(p, end, value)) {
        return 0;
    }
    c.v = value;
    switch (format) {
        case CornerFormat::Vertex:
            return 1;
        case CornerFormat::VertexNormal:
            if (!literal(p, end, '/') || !literal(p, end, '/') || !scanInt(p, end, value)) {
                return 1;
            }
            c.n = value;
            return 2;
        case CornerFormat::VertexTexCoord:
            if (!literal(p, end, '/') || !scanInt(p, end, value)) {
                return 1;
            }
            c.t = value;
            return 2;
        case CornerFormat::Full:
            if (!literal(p, end, '/') || !scanInt(p, end, value)) {
                return 1;
            }
            c.t = value;
            if (!literal(p, end, '/') || !scanInt(p, end, value)) {
                return 2;
            }
            c.n = value;
            return 3;
    }
    return 0;
}

int scanToken(std::string_view token, CornerFormat format, Corner& c) {
    const char* p = token.data();
    return scanCorner(p, token.data() + token.size(), format, c);
}

// Corners of a plain face in a small array, anything else through scanFace; at least three.
class FaceReader {
public:
    template <bool Store>
    size_t read(const char* rest, const char* end, CornerFormat& format) {
        size_t count = 0;
        if (plainFacesEnabled()) {
#if defined(__SSE2__)
            count = scanPlainFaceWide<Store>(rest, end, format, local_, kLocal);
#endif
            if (count == 0) {
                count = scanPlainFace<Store>(rest, end, format, local_, kLocal);
            }
        }
        if (count == 0) {
            format = scanFace(std::string_view(rest, static_cast<size_t>(end - rest)), general_);
            corners_ = general_.data();
            return general_.size();
        }
        corners_ = local_;
        if (Store) {
            for (size_t k = count; k < 3; ++k) {  // a missing corner repeats the one before
                local_[k] = local_[count - 1];
            }
        }
        return count < 3 ? 3 : count;
    }
    Corner* corners() {
        return corners_;
    }

private:
    static constexpr size_t kLocal = 32;
    Corner local_[kLocal];
    std::vector<Corner> general_;
    Corner* corners_ = local_;
};

// ---- Whole face lines ------------------------------------------------------------------------

#if defined(GLM_WIDE_FACES)

bool detectWideFaces() {
    __builtin_cpu_init();  // this may run before the library's own initialisation
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("pclmul");
}

const bool wideFaces = detectWideFaces();

// Bit i: the XOR of bits 0..i, in one carry-less multiplication by all ones.
__attribute__((target("avx2,bmi,bmi2,popcnt,pclmul"))) inline uint64_t prefixXor(uint64_t x) {
    return static_cast<uint64_t>(_mm_cvtsi128_si64(
        _mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<long long>(x)), _mm_set1_epi8(-1), 0)));
}

__attribute__((target("avx2,bmi,bmi2,popcnt,pclmul"))) inline uint64_t wideBits(__m256i mask) {
    return uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(mask))};
}

// Digits, slashes, blanks and line feeds among the 64 bytes at p, as bits.
__attribute__((target("avx2,bmi,bmi2,popcnt,pclmul"))) inline void wideMasks(
    const char* p, uint64_t& d, uint64_t& s, uint64_t& b, uint64_t& lf) {
    const __m256i zero = _mm256_set1_epi8('0'), nine = _mm256_set1_epi8(9);
    const __m256i slash = _mm256_set1_epi8('/'), space = _mm256_set1_epi8(' '),
                  tab = _mm256_set1_epi8('\t'), feed = _mm256_set1_epi8('\n');
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const __m256i lowDigits = _mm256_sub_epi8(low, zero), highDigits = _mm256_sub_epi8(high, zero);
    d = wideBits(_mm256_cmpeq_epi8(_mm256_max_epu8(lowDigits, nine), nine)) |
        wideBits(_mm256_cmpeq_epi8(_mm256_max_epu8(highDigits, nine), nine)) << 32;
    s = wideBits(_mm256_cmpeq_epi8(low, slash)) | wideBits(_mm256_cmpeq_epi8(high, slash)) << 32;
    b = wideBits(_mm256_or_si256(_mm256_cmpeq_epi8(low, space), _mm256_cmpeq_epi8(low, tab))) |
        wideBits(_mm256_or_si256(_mm256_cmpeq_epi8(high, space), _mm256_cmpeq_epi8(high, tab)))
            << 32;
    lf = wideBits(_mm256_cmpeq_epi8(low, feed)) | wideBits(_mm256_cmpeq_epi8(high, feed)) << 32;
}

// wideFace from the masks of a line's rest of `size` (at most 63) bytes.
__attribute__((target("avx2,bmi,bmi2,popcnt,pclmul"))) inline size_t wideShape(
    uint64_t d, uint64_t s, uint64_t b, size_t size, CornerFormat& format) {
    const uint64_t valid = (uint64_t{1} << size) - 1;
    d &= valid;
    s &= valid;
    b &= valid;
    const uint64_t words = d | s;
    const uint64_t starts = words & ~(words << 1);
    const uint64_t ends = words & ~(words >> 1);
    const uint64_t doubled = s & (s << 1);  // second slash of a pair
    if (((d | s | b) ^ valid) | (s & (starts | ends)) | (doubled & (doubled << 1)) || !starts) {
        return 0;
    }
    const uint64_t runs = s & ~doubled;  // first slash of every run
    const uint64_t first = ((ends & -ends) << 1) - (starts & -starts);
    const uint64_t firstRuns = runs & first;
    uint64_t bad;
    if (firstRuns == 0) {
        format = CornerFormat::Vertex;
        bad = s;
    } else if ((firstRuns & (firstRuns - 1)) == 0) {
        if (doubled & first) {
            format = CornerFormat::VertexNormal;
            bad = doubled ^ (runs << 1);
        } else {
            format = CornerFormat::VertexTexCoord;
            bad = doubled;
        }
        const uint64_t x = prefixXor(starts | runs);
        bad |= (starts & ~x) | (runs & x) | (x >> 63);
    } else {
        format = CornerFormat::Full;
        const uint64_t y = prefixXor(runs);
        const uint64_t odd = runs & y;
        const uint64_t z = prefixXor(starts | odd);
        bad = doubled | (starts & y) | (y >> 63) | (starts & ~z) | (odd & z) | (z >> 63);
    }
    return bad ? 0 : static_cast<size_t>(__builtin_popcountll(starts));
}

#endif

// ---- First pass ------------------------------------------------------------------------------

constexpr uint64_t kMaxItems = 0x7ffffffe;  // indices are 32-bit signed

struct Counts {
    uint64_t vertices = 0, normals = 0, texcoords = 0, triangles = 0;
};

// Capacity of each group's index array, as allocated after the first pass.
using Capacities = std::unordered_map<const ObjGroup*, GLuint>;
// Triangles per group name, for a count made without a model.
using GroupCounts = std::unordered_map<std::string, uint64_t>;

// Counts the statements. With a model it is the real first pass: groups are created and counted
// on the model and the material library is read. Without, it only counts (groups by name).
class CountPass {
public:
    CountPass(ObjModel* model, ObjProgress* progress, GroupCounts* byName)
        : model_(model), progress_(progress), byName_(byName) {}

    Counts run(LineSource& lines);

private:
    template <bool Wide>
    void loop(LineSource& lines);
    void loopPlain(LineSource& lines);
#if defined(GLM_WIDE_FACES)
    void loopWide(LineSource& lines);
#endif
    void statement(const char* begin, const char* end);
    void face(const char* rest, const char* end);
    void addFace(size_t corners);
    void selectGroup(const std::string& name);

    ObjModel* model_;
    ObjProgress* progress_;
    GroupCounts* byName_;
    std::unordered_map<ObjGroup*, uint64_t> byGroup_;
    uint64_t* groupTriangles_ = nullptr;
    Counts counts_;
    FaceReader faces_;
};

void CountPass::selectGroup(const std::string& name) {
    groupTriangles_ =
        model_ ? &byGroup_[glmEnsureGroup(model_, name.c_str())] : &(*byName_)[name.c_str()];
}

void CountPass::face(const char* rest, const char* end) {
    CornerFormat format;
    size_t corners = 0;
#if defined(GLM_WIDE_FACES)
    if (wideFaces && plainFacesEnabled()) {
        corners = wideFace(rest, end, format);
    }
#endif
    addFace(corners ? corners : faces_.read<false>(rest, end, format));
}

// Any line by its first word; the loop in run takes the common lines itself.
void CountPass::statement(const char* begin, const char* end) {
    std::string_view token, rest;
    if (!splitStatement(std::string_view(begin, static_cast<size_t>(end - begin)), token, rest)) {
        return;
    }
    switch (classify(token)) {
        case Statement::Skip:
        case Statement::UseMtl:
            break;
        case Statement::Vertex:
            ++counts_.vertices;
            break;
        case Statement::Normal:
            ++counts_.normals;
            break;
        case Statement::TexCoord:
            ++counts_.texcoords;
            break;
        case Statement::UnknownV:
            fail(stdout, "glmFirstPass(): Unknown token \"%.*s\".\n",
                 static_cast<int>(token.size()), token.data());
        case Statement::MtlLib:
            if (model_) {
                const std::string library(nextWord(rest));
                std::free(model_->mtlfilename);
                model_->mtlfilename = copyString(library.c_str());
                glmReadMTL(model_, model_->mtlfilename, progress_);
            }
            break;
        case Statement::Group:
            selectGroup(std::string(rest));
            break;
        case Statement::Face:
            face(rest.data(), end);
            break;
    }
}

// A face of `corners` corners (fewer than three repeat the last) counts as its fan.
inline void CountPass::addFace(size_t corners) {
    const uint64_t triangles = corners < 3 ? 1 : corners - 2;
    counts_.triangles += triangles;
    *groupTriangles_ += triangles;
}

template <bool Wide>
__attribute__((always_inline)) inline void CountPass::loop(LineSource& lines) {
    LineSource::Span span = lines.start();
    const char *begin, *end;
    for (;;) {
#if defined(GLM_WIDE_FACES)
        if constexpr (Wide) {
            // A plain face line of up to 64 bytes is counted, and its end found, from one look.
            const char* line = span.cursor;
            if (line < span.limit && line[0] == 'f' && (line[1] == ' ' || line[1] == '\t')) {
                uint64_t d, s, b, lf;
                wideMasks(line, d, s, b, lf);
                const unsigned at = lf ? static_cast<unsigned>(__builtin_ctzll(lf)) : 64;
                if ((lf || line[64] == '\n') && line + at < span.limit) {
                    const unsigned size = at - 1 - (line[at - 1] == '\r');  // after the keyword
                    CornerFormat format;
                    if (const size_t corners = wideShape(d >> 1, s >> 1, b >> 1, size, format)) {
                        addFace(corners);
                        span.cursor = line + at + 1;
                        continue;
                    }
                }
            }
        }
#endif
        if (!lines.next(span, begin, end)) {
            break;
        }
        // One or two bytes tell the common statements (a line's end byte is a blank to isBlank).
        switch (*begin) {
            case 'v':
                if (begin[1] == 'n') {
                    ++counts_.normals;
                } else if (begin[1] == 't') {
                    ++counts_.texcoords;
                } else if (isBlank(begin[1]) || begin[1] == '\0') {
                    ++counts_.vertices;
                } else {
                    statement(begin, end);
                }
                break;
            case 'f':
                if (begin[1] == ' ' || begin[1] == '\t') {
                    face(begin + 1, end);
                } else {
                    statement(begin, end);
                }
                break;
            case '#':
                break;
            default:
                statement(begin, end);
                break;
        }
    }
}

void CountPass::loopPlain(LineSource& lines) {
    loop<false>(lines);
}

#if defined(GLM_WIDE_FACES)
__attribute__((target("avx2,bmi,bmi2,popcnt,pclmul"))) void CountPass::loopWide(LineSource& lines) {
    loop<true>(lines);
}
#endif

Counts CountPass::run(LineSource& lines) {
    selectGroup("default");
#if defined(GLM_WIDE_FACES)
    if (wideFaces && plainFacesEnabled()) {
        loopWide(lines);
    } else
#endif
    {
        loopPlain(lines);
    }
    if (counts_.vertices > kMaxItems || counts_.normals > kMaxItems ||
        counts_.texcoords > kMaxItems || counts_.triangles > kMaxItems) {
        fail(stderr, "glmFirstPass() failed: more than %llu items in one array.\n",
             static_cast<unsigned long long>(kMaxItems));
    }
    for (const auto& [group, triangles] : byGroup_) {
        const uint64_t sum = group->trianglecount + triangles;
        group->trianglecount = static_cast<GLuint>(sum < kMaxItems ? sum : kMaxItems);
    }
    return counts_;
}

void storeCounts(ObjModel* model, const Counts& counts) {
    model->vertexcount = static_cast<GLuint>(counts.vertices);
    model->normalcount = static_cast<GLuint>(counts.normals);
    model->texcoordcount = static_cast<GLuint>(counts.texcoords);
    model->trianglecount = static_cast<GLuint>(counts.triangles);
}

// Gives every group an index array of its counted size and resets its count for the fill pass.
Capacities allocateGroups(ObjModel* model) {
    Capacities capacities;
    for (ObjGroup* group = model->groups; group; group = group->next) {
        std::free(group->triangleindices);
        group->triangleindices =
            static_cast<GLuint*>(checkedMalloc(sizeof(GLuint) * group->trianglecount));
        capacities[group] = group->trianglecount;
        group->trianglecount = 0;
    }
    return capacities;
}

// Large arrays are filled once, front to back: huge pages spare most of their page faults.
void adviseHugePages(void* block, size_t bytes) {
#if defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = uintptr_t{1} << 21;
    if (bytes >= 2 * kHuge) {
        const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
        const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHuge - 1);
        if (end > begin) {
            madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
        }
    }
#endif
}

void allocateArrays(ObjModel* model) {
    // Zeroed, so an item the file leaves unset reads as 0 rather than as garbage.
    std::free(model->vertices);
    std::free(model->normals);
    std::free(model->texcoords);
    std::free(model->triangles);
    model->vertices =
        static_cast<GLfloat*>(checkedCalloc(size_t{model->vertexcount} + 1, 3 * sizeof(GLfloat)));
    model->normals = model->normalcount ? static_cast<GLfloat*>(checkedCalloc(
                                              size_t{model->normalcount} + 1, 3 * sizeof(GLfloat)))
                                        : nullptr;
    model->texcoords = model->texcoordcount
                           ? static_cast<GLfloat*>(checkedCalloc(size_t{model->texcoordcount} + 1,
                                                                 2 * sizeof(GLfloat)))
                           : nullptr;
    model->triangles =
        static_cast<ObjTriangle*>(checkedCalloc(model->trianglecount, sizeof(ObjTriangle)));
    adviseHugePages(model->vertices, (size_t{model->vertexcount} + 1) * 3 * sizeof(GLfloat));
    adviseHugePages(model->triangles, size_t{model->trianglecount} * sizeof(ObjTriangle));
}

// ---- Fill pass -------------------------------------------------------------------------------

// "%f %f %f" into values: the usual single blank and plain decimal straight away, anything else
// the general way from there on.
template <int Count>
__attribute__((always_inline)) inline void storeFloats(const char* p, const char* end,
                                                       GLfloat* values) {
    for (int k = 0; k < Count; ++k) {
        p += *p == ' ';
        const char* stop;
        if (!parseDecimal(p, values[k], stop)) {
            const char* cursor = p;  // p itself stays in a register
            scanFloats(cursor, end, values + k, Count - k);
            return;
        }
        p = stop;
    }
}

constexpr unsigned kWarningLimit = 10;

class FillPass {
public:
    FillPass(ObjModel* model, ObjProgress* progress, Capacities capacities)
        : model_(model), progress_(progress), capacities_(std::move(capacities)) {}

    void run(LineSource& lines);

private:
    template <bool Wide>
    void loop(LineSource& lines);
    void loopPlain(LineSource& lines);
#if defined(GLM_WIDE_FACES)
    void loopWide(LineSource& lines);
#endif
    void statement(const char* begin, const char* end);
    void selectGroup(const char* name);
    void vertex(const char* rest, const char* end);
    void normal(const char* rest, const char* end);
    void texCoord(const char* rest, const char* end);
    void face(const char* rest, const char* end);
#if defined(__SSE2__)
    template <CornerFormat F>
    bool plainFace(const char* p, const char* end);
#endif

    GLint resolve(int64_t index, GLuint soFar, GLuint total) const;
    void warnIndex(const char* what, int64_t index, GLuint total, const char* outcome);
    void warnOverflow();
    void finish();

    ObjModel* model_;
    ObjProgress* progress_;
    Capacities capacities_;
    unsigned long line_ = 0;  // number of the line being read, from 1
    FaceReader faces_;

    GLuint vertices_ = 0, normals_ = 0, texcoords_ = 0;  // items stored so far
    GLuint triangles_ = 0;
    GLint material_ = 0;
    ObjGroup* group_ = nullptr;
    GLuint groupCapacity_ = 0;

    unsigned long dropped_ = 0, cleared_ = 0, warnings_ = 0;
    bool overflowWarned_ = false;
};

void FillPass::selectGroup(const char* name) {
    group_ = glmFindGroup(model_, name);
    if (!group_) {
        warnOverflow();  // a group the first pass never saw: it gets no triangles
        group_ = glmEnsureGroup(model_, name);
    }
    const auto found = capacities_.find(group_);
    groupCapacity_ = found == capacities_.end() ? 0 : found->second;
}

void FillPass::warnOverflow() {
    if (!overflowWarned_) {
        overflowWarned_ = true;
        std::printf(
            "glmFillPass() warning: the file holds more than the first pass counted (was it "
            "changed while being read?); the rest is left out.\n");
    }
}

void FillPass::warnIndex(const char* what, int64_t index, GLuint total, const char* outcome) {
    if (++warnings_ <= kWarningLimit) {
        std::printf("glmFillPass() warning: line %lu: face uses %s %lld, but there are %u; %s.\n",
                    line_, what, static_cast<long long>(index), total, outcome);
    }
}

inline GLint FillPass::resolve(int64_t index, GLuint soFar, GLuint total) const {
    if (index > 0) {
        return index <= total ? static_cast<GLint>(index) : 0;
    }
    if (index < 0) {
        const int64_t absolute = int64_t{soFar} + 1 + index;  // -1 is the last one read
        return absolute >= 1 ? static_cast<GLint>(absolute) : 0;
    }
    return 0;
}

__attribute__((always_inline)) inline void FillPass::vertex(const char* rest, const char* end) {
    if (vertices_ >= model_->vertexcount) {
        warnOverflow();
        return;
    }
    ++vertices_;
    storeFloats<3>(rest, end, model_->vertices + 3 * size_t{vertices_});

    const GLuint next = vertices_ + 1;
    if (progress_ && progress_->report && next % 200 == 0) {
        std::string text = progress_->caption ? progress_->caption : "";
        text += " (";
        text += group_->name;
        text += " )... ";
        const auto percent = static_cast<float>(next * 70.0 / model_->vertexcount + 30.0);
        progress_->report(progressValue(percent, progress_), text.c_str());
    }
}

__attribute__((always_inline)) inline void FillPass::normal(const char* rest, const char* end) {
    if (normals_ >= model_->normalcount) {
        warnOverflow();
        return;
    }
    ++normals_;
    storeFloats<3>(rest, end, model_->normals + 3 * size_t{normals_});
}

__attribute__((always_inline)) inline void FillPass::texCoord(const char* rest, const char* end) {
    if (texcoords_ >= model_->texcoordcount) {
        warnOverflow();
        return;
    }
    ++texcoords_;
    storeFloats<2>(rest, end, model_->texcoords + 2 * size_t{texcoords_});
}

#if defined(__SSE2__)
// A plain face (see scanPlainFaceWide) of three or more corners whose indices all name existing
// items, stored straight from the text as its fan: each corner is read, checked and written
// once. False, with nothing kept, for anything else, which face then reads the general way.
template <CornerFormat F>
bool FillPass::plainFace(const char* p, const char* end) {
    const GLuint vertexCount = model_->vertexcount, texCoordCount = model_->texcoordcount,
                 normalCount = model_->normalcount;
    constexpr bool kTexCoords = F == CornerFormat::Full || F == CornerFormat::VertexTexCoord;
    constexpr bool kNormals = F == CornerFormat::Full || F == CornerFormat::VertexNormal;
    // Indices here have no sign, so one unsigned comparison checks each (0 wraps around).
    const auto missing = [&](uint32_t v, uint32_t t, uint32_t n) {
        return (v - 1 >= vertexCount) | (kTexCoords && t - 1 >= texCoordCount) |
               (kNormals && n - 1 >= normalCount);
    };
    const auto skipBlanks = [&p]() {
        while (*p == ' ' || *p == '\t') {
            ++p;
        }
    };

    // Each corner goes straight to its place: corners 0 and 1 start the first triangle, every
    // further corner ends one, and starts the next (with corner 0) when another corner follows.
    const GLuint room =
        std::min(model_->trianglecount - triangles_, groupCapacity_ - group_->trianglecount);
    if (room == 0) {
        return false;
    }
    ObjTriangle* tri = model_->triangles + triangles_;
    const auto put = [&](ObjTriangle& t, int slot, uint32_t v, uint32_t tc, uint32_t n) {
        _mm_stream_si32(&t.vertexindex[slot], static_cast<int>(v));
        _mm_stream_si32(&t.texcoordindex[slot], static_cast<int>(tc));
        _mm_stream_si32(&t.normalindex[slot], static_cast<int>(n));
        return missing(v, tc, n);
    };
    uint32_t v, t, n;
    unsigned length = plainCorner<F, true>(p, end, v, t, n);
    if (length == 0) {
        return false;
    }
    bool bad = put(tri[0], 0, v, t, n);
    p += length;
    skipBlanks();
    if (p == end || (length = plainCorner<F, true>(p, end, v, t, n)) == 0) {
        return false;
    }
    bad |= put(tri[0], 1, v, t, n);
    p += length;
    skipBlanks();
    if (p == end) {
        return false;
    }
    GLuint stored = 0;
    for (;;) {
        length = plainCorner<F, true>(p, end, v, t, n);
        if (length == 0) {
            return false;
        }
        ObjTriangle& current = tri[stored];
        bad |= put(current, 2, v, t, n);
        _mm_stream_si32(&current.facetnormindex, stored == 0 ? -1 : 0);
        ++stored;
        p += length;
        skipBlanks();
        if (p == end) {
            break;
        }
        // Written past the kept triangles until the face is known good: a face read again the
        // general way, or dropped, overwrites them, and the array is trimmed to what was kept.
        if (stored == room) {
            return false;
        }
        ObjTriangle& next = tri[stored];
        for (int i = 0; i < 2; ++i) {
            const int from = i == 0 ? 0 : 2;
            const ObjTriangle& source = i == 0 ? tri[0] : current;
            next.vertexindex[i] = source.vertexindex[from];
            next.texcoordindex[i] = source.texcoordindex[from];
            next.normalindex[i] = source.normalindex[from];
        }
    }
    if (bad) {
        return false;
    }
    GLuint* indices = group_->triangleindices + group_->trianglecount;
    for (GLuint k = 0; k < stored; ++k) {
        indices[k] = triangles_ + k;
    }
    group_->trianglecount += stored;
    triangles_ += stored;
    return true;
}
#endif

void FillPass::face(const char* rest, const char* end) {
#if defined(__SSE2__)
    const char* p = rest;
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    if (p != end && plainFacesEnabled()) {
        bool done = false;
        switch (plainFormat(p)) {
            case CornerFormat::Full:
                done = plainFace<CornerFormat::Full>(p, end);
                break;
            case CornerFormat::Vertex:
                done = plainFace<CornerFormat::Vertex>(p, end);
                break;
            case CornerFormat::VertexNormal:
                done = plainFace<CornerFormat::VertexNormal>(p, end);
                break;
            case CornerFormat::VertexTexCoord:
                done = plainFace<CornerFormat::VertexTexCoord>(p, end);
                break;
        }
        if (done) {
            return;
        }
    }
#endif
    CornerFormat format;
    const size_t count = faces_.read<true>(rest, end, format);
    Corner* corners = faces_.corners();
    const bool hasTexCoords =
        format == CornerFormat::Full || format == CornerFormat::VertexTexCoord;
    const bool hasNormals = format == CornerFormat::Full || format == CornerFormat::VertexNormal;

    const auto triangles = static_cast<GLuint>(count - 2);
    if (triangles > model_->trianglecount - triangles_ ||
        triangles > groupCapacity_ - group_->trianglecount) {
        warnOverflow();
        return;
    }

    // Resolve every corner first: a face with a missing vertex is dropped whole.
    bool clearedHere = false;
    for (size_t k = 0; k < count; ++k) {
        Corner& c = corners[k];
        const GLint v = resolve(c.v, vertices_, model_->vertexcount);
        if (v == 0) {
            ++dropped_;
            warnIndex("vertex", c.v, model_->vertexcount, "face dropped");
            return;
        }
        c.v = v;
        if (hasTexCoords) {
            const GLint t = resolve(c.t, texcoords_, model_->texcoordcount);
            if (t == 0 && !clearedHere) {
                clearedHere = true;
                ++cleared_;
                warnIndex("texture coordinate", c.t, model_->texcoordcount,
                          "corner left without one");
            }
            c.t = t;
        } else {
            c.t = 0;
        }
        if (hasNormals) {
            const GLint n = resolve(c.n, normals_, model_->normalcount);
            if (n == 0 && !clearedHere) {
                clearedHere = true;
                ++cleared_;
                warnIndex("normal", c.n, model_->normalcount, "corner left without one");
            }
            c.n = n;
        } else {
            c.n = 0;
        }
    }

    // Fan: (c1, c2, c3), then (c1, c(k-1), ck) for each further corner.
    GLuint* indices = group_->triangleindices + group_->trianglecount;
    group_->trianglecount += triangles;
    for (size_t k = 2; k < count; ++k) {
        ObjTriangle& tri = model_->triangles[triangles_];
        const Corner* used[3] = {&corners[0], &corners[k - 1], &corners[k]};
        for (int i = 0; i < 3; ++i) {
            tri.vertexindex[i] = static_cast<GLint>(used[i]->v);
            tri.texcoordindex[i] = static_cast<GLint>(used[i]->t);
            tri.normalindex[i] = static_cast<GLint>(used[i]->n);
        }
        tri.facetnormindex = k == 2 ? -1 : 0;
        *indices++ = triangles_++;
    }
}

// Any line by its first word; the loop in run takes the common lines itself.
void FillPass::statement(const char* begin, const char* end) {
    std::string_view token, rest;
    if (!splitStatement(std::string_view(begin, static_cast<size_t>(end - begin)), token, rest)) {
        return;
    }
    switch (classify(token)) {
        case Statement::Skip:
        case Statement::MtlLib:
        case Statement::UnknownV:
            break;
        case Statement::Vertex:
            vertex(rest.data(), end);
            break;
        case Statement::Normal:
            normal(rest.data(), end);
            break;
        case Statement::TexCoord:
            texCoord(rest.data(), end);
            break;
        case Statement::UseMtl:
            material_ = glmFindMaterial(model_, std::string(nextWord(rest)).c_str());
            group_->material = material_;
            break;
        case Statement::Group:
            selectGroup(std::string(rest).c_str());
            group_->material = material_;
            break;
        case Statement::Face:
            face(rest.data(), end);
            break;
    }
}

template <bool Wide>
__attribute__((always_inline)) inline void FillPass::loop(LineSource& lines) {
    LineSource::Span span = lines.start();
    const char *begin, *end;
    unsigned long line = 0;
    for (;;) {
        line_ = ++line;
#if defined(GLM_WIDE_FACES)
        if constexpr (Wide) {
            // A face line of up to 64 bytes: its end found from one look, without a search.
            const char* start = span.cursor;
            if (start < span.limit && start[0] == 'f' && (start[1] == ' ' || start[1] == '\t')) {
                uint64_t d, s, b, lf;
                wideMasks(start, d, s, b, lf);
                const unsigned at = lf ? static_cast<unsigned>(__builtin_ctzll(lf)) : 64;
                if ((lf || start[64] == '\n') && start + at < span.limit) {
                    face(start + 1, start + at - (start[at - 1] == '\r'));
                    span.cursor = start + at + 1;
                    continue;
                }
            }
        }
#endif
        if (!lines.next(span, begin, end)) {
            break;
        }
        // The common statements by their first bytes, when a blank or tab ends the keyword.
        const char second = begin[1];
        switch (*begin) {
            case 'v':
                if (second == ' ' || second == '\t') {
                    vertex(begin + 1, end);
                } else if (second == 'n' && (begin[2] == ' ' || begin[2] == '\t')) {
                    normal(begin + 2, end);
                } else if (second == 't' && (begin[2] == ' ' || begin[2] == '\t')) {
                    texCoord(begin + 2, end);
                } else {
                    statement(begin, end);
                }
                break;
            case 'f':
                if (second == ' ' || second == '\t') {
                    face(begin + 1, end);
                } else {
                    statement(begin, end);
                }
                break;
            case '#':
                break;
            default:
                statement(begin, end);
                break;
        }
    }
}

void FillPass::loopPlain(LineSource& lines) {
    loop<false>(lines);
}

#if defined(GLM_WIDE_FACES)
__attribute__((target("avx2,bmi,bmi2,popcnt,pclmul"))) void FillPass::loopWide(LineSource& lines) {
    loop<true>(lines);
}
#endif

void FillPass::run(LineSource& lines) {
    selectGroup("default");
#if defined(GLM_WIDE_FACES)
    if (wideFaces) {
        loopWide(lines);
    } else
#endif
    {
        loopPlain(lines);
    }
    finish();
}

void FillPass::finish() {
#if defined(__SSE2__)
    _mm_sfence();  // the triangles stored around the caches
#endif
    if (warnings_ > kWarningLimit) {
        std::printf(
            "glmFillPass() warning: %lu faces dropped and %lu faces left with missing normals or "
            "texture coordinates in all.\n",
            dropped_, cleared_);
    }
    if (triangles_ < model_->trianglecount) {
        model_->trianglecount = triangles_;
        model_->triangles = static_cast<ObjTriangle*>(
            checkedRealloc(model_->triangles, sizeof(ObjTriangle) * size_t{triangles_}));
    }
}

// Frees a model being read when the fail hook throws through the reader.
struct ModelGuard {
    ObjModel* model;
    ~ModelGuard() {
        if (model) {
            glmFreeModel(model);
        }
    }
};

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

// ---- General face reading ----------------------------------------------------------------------

namespace {
bool plainFaces = true;
}

void glm_detail::enablePlainFaces(bool enable) {
    plainFaces = enable;
}

bool glm_detail::plainFacesEnabled() {
    return plainFaces;
}

CornerFormat glm_detail::scanFace(std::string_view rest, std::vector<Corner>& corners) {
    corners.clear();
    const std::string_view first = nextWord(rest);
    CornerFormat format = CornerFormat::Vertex;
    Corner c{0, 0, 0};
    if (first.find("//") != std::string_view::npos) {
        format = CornerFormat::VertexNormal;
    } else if (Corner probe{0, 0, 0}; scanToken(first, CornerFormat::Full, probe) == 3) {
        format = CornerFormat::Full;
    } else if (scanToken(first, CornerFormat::VertexTexCoord, probe) == 2) {
        format = CornerFormat::VertexTexCoord;
    }
    scanToken(first, format, c);
    corners.push_back(c);

    const char* p = rest.data();
    const char* end = p + rest.size();
    for (int k = 0; k < 2; ++k) {
        scanCorner(p, end, format, c);
        corners.push_back(c);
    }
    while (scanCorner(p, end, format, c) > 0) {
        corners.push_back(c);
    }
    return format;
}

#if defined(GLM_WIDE_FACES)
bool glm_detail::wideFacesAvailable() {
    return wideFaces;
}

__attribute__((target("avx2,bmi,bmi2,popcnt,pclmul"))) size_t glm_detail::wideFace(
    const char* p, const char* end, CornerFormat& format) {
    const auto size = static_cast<size_t>(end - p);
    if (size > 63) {
        return 0;
    }
    uint64_t d, s, b, lf;
    wideMasks(p, d, s, b, lf);
    return wideShape(d, s, b, size, format);
}
#endif

// ---- Public passes ---------------------------------------------------------------------------

void glmFirstPass(ObjModel* model, FILE* file, ObjProgress* progress) {
    assert(model);
    LineSource lines(file);
    storeCounts(model, CountPass(model, progress, nullptr).run(lines));
    allocateGroups(model);
}

void glmFillPass(ObjModel* model, FILE* file, ObjProgress* progress) {
    assert(model);
    // The caller's file may hold anything by now: count it again, in memory so both scans see
    // the same bytes, and size the group arrays by that count.
    std::vector<char> text;
    char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.insert(text.end(), chunk, chunk + got);
    }
    const size_t size = text.size();
    padText(text);
    GroupCounts groupCounts;
    {
        LineSource counter(text.data(), size);
        CountPass(nullptr, nullptr, &groupCounts).run(counter);
    }
    Capacities capacities;
    for (ObjGroup* group = model->groups; group; group = group->next) {
        const auto found = groupCounts.find(group->name);
        const uint64_t wanted = found == groupCounts.end() ? 0 : found->second;
        const GLuint capacity = static_cast<GLuint>(wanted < kMaxItems ? wanted : kMaxItems);
        group->triangleindices = static_cast<GLuint*>(
            checkedRealloc(group->triangleindices, sizeof(GLuint) * size_t{capacity}));
        group->trianglecount = 0;
        capacities[group] = capacity;
    }
    if (model->vertexcount && !model->vertices) {
        model->vertexcount = 0;  // nothing to fill
    }
    if (model->normalcount && !model->normals) {
        model->normalcount = 0;
    }
    if (model->texcoordcount && !model->texcoords) {
        model->texcoordcount = 0;
    }
    if (model->trianglecount && !model->triangles) {
        model->trianglecount = 0;
    }
    LineSource lines(text.data(), size);
    FillPass(model, progress, std::move(capacities)).run(lines);
}

// ---- glmReadOBJ ------------------------------------------------------------------------------

ObjModel* glmReadOBJ(const char* filename, ObjProgress* progress) {
    std::unique_ptr<FILE, FileCloser> file(openForReading(filename));
    if (!file) {
        fail(stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", filename);
    }
    ModelGuard guard{static_cast<ObjModel*>(checkedCalloc(1, sizeof(ObjModel)))};
    ObjModel* model = guard.model;
    model->filepath = copyString(filename);

    Capacities capacities;
    {
        LineSource lines(file.get(), LineSource::Whole{});
        storeCounts(model, CountPass(model, progress, nullptr).run(lines));
        capacities = allocateGroups(model);
    }
    allocateArrays(model);
    {
        LineSource lines(file.get(), LineSource::Whole{});
        FillPass(model, progress, std::move(capacities)).run(lines);
    }
    guard.model = nullptr;
    return model;
}
