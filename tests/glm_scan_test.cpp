// The reader's shortcuts against the general reading: plain decimals against a full conversion,
// plain faces against the scanf-like corner reader, and whole files read with and without the
// shortcuts, mapped and streamed.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>

#include "glm/glm_internal.h"
#include "tests/glm_test_files.h"

using namespace glm_detail;
using namespace glmtest;

namespace {

// Text as the reader hands it out: a line end byte after it, then readable padding.
struct Line {
    explicit Line(const std::string& text) : bytes(text.size() + 128, '\0') {
        std::memcpy(bytes.data(), text.data(), text.size());
        bytes[text.size()] = '\n';
        end = bytes.data() + text.size();
    }
    const char* begin() const { return bytes.data(); }
    std::vector<char> bytes;
    const char* end;
};

std::string randomDecimal(std::mt19937_64& random) {
    const int digits = 1 + static_cast<int>(random() % 16);
    const int dot = static_cast<int>(random() % (digits + 2)) - 1;  // -1: none
    std::string text = random() % 2 ? "-" : "";
    for (int d = 0; d < digits; ++d) {
        if (d == dot) {
            text += '.';
        }
        text += static_cast<char>('0' + random() % 10);
    }
    if (dot == digits) {
        text += '.';
    }
    return text;
}

float fullConversion(const std::string& text, size_t& used) {
    float value = 0.0f;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    used = static_cast<size_t>(ptr - text.data());
    return value;
}

}  // namespace

TEST(GlmScanFloats, PlainDecimalsGiveTheFullConversionsFloatBitForBit) {
    std::mt19937_64 random(7);
    size_t taken = 0;
    const size_t tries = 300000;
    for (size_t i = 0; i < tries; ++i) {
        const std::string text = randomDecimal(random);
        const Line line(text);
        float fast = 0.0f;
        const char* stop = nullptr;
        if (!parseDecimal(line.begin(), fast, stop)) {
            continue;
        }
        ++taken;
        size_t used = 0;
        const float full = fullConversion(text, used);
        ASSERT_EQ(0, std::memcmp(&fast, &full, sizeof fast)) << text;
        ASSERT_EQ(static_cast<size_t>(stop - line.begin()), used) << text;
    }
    EXPECT_GT(taken, tries * 3 / 4);  // the shortcut does take the usual numbers
}

TEST(GlmScanFloats, HalfwayCasesAndOtherFormsReadAsStrtofReadsThem) {
    // Exactly halfway between two floats (ties go to even), near it, and forms the shortcut
    // leaves to the full conversion: signs, exponents, long digit strings, out of range.
    // The first texts lie so close to a point halfway between two floats that a product of
    // doubles rounds to the wrong side.
    const char* texts[] = {"22.7749547958374",
                           "736884.78125",
                           "-87.1922264099121",
                           "0.46651391685009",
                           "64660.283203125",
                           "16777217",
                           "33554434",
                           "-16777217.0",
                           "8388608.5",
                           "16777217.001",
                           "+2.5",
                           "-.5",
                           "5.",
                           "1e3",
                           "2.5E-3",
                           "123456789012345678",
                           "0.1234567890123456789",
                           "1.5e40",
                           "-1.5e40",
                           "1e-30",
                           "0.000000",
                           "-0.0",
                           "inf",
                           "-infinity"};
    for (const char* text : texts) {
        const Line line(text);
        const char* cursor = line.begin();
        float value = 0.0f;
        ASSERT_TRUE(scanFloat(cursor, line.end, value)) << text;
        char* stop = nullptr;
        const float expected = std::strtof(text, &stop);
        EXPECT_EQ(0, std::memcmp(&value, &expected, sizeof value)) << text;
        EXPECT_EQ(cursor - line.begin(), stop - text) << text;
    }
    const Line nothing("- .");
    const char* cursor = nothing.begin();
    float value = 42.0f;
    EXPECT_FALSE(scanFloat(cursor, nothing.end, value));
    EXPECT_EQ(value, 42.0f);
}

namespace {

// A face line's rest: usually plain in one format, often spoiled in one of the ways that make
// the general reading differ from counting words. Indices up to `largest`, a few beyond.
std::string randomFace(std::mt19937_64& random, bool& plain, uint64_t largest = 999999) {
    const int format = static_cast<int>(random() % 4);
    const int corners = 1 + static_cast<int>(random() % (random() % 4 ? 5 : 30));
    const auto number = [&](int width) {
        std::string digits = std::to_string(1 + random() % (random() % 50 ? largest : 999999));
        return width > 0 ? std::string(static_cast<size_t>(width), '7') : digits;
    };
    std::string text;
    plain = true;
    for (int c = 0; c < corners; ++c) {
        text += random() % 8 ? " " : random() % 2 ? "\t" : "  ";
        const int width = random() % 40 ? 0 : 9 + static_cast<int>(random() % 6);
        text += number(width);
        if (format == 1) {
            text += "/" + number(0);
        } else if (format == 2) {
            text += "//" + number(0);
        } else if (format == 3) {
            text += "/" + number(0) + "/" + number(0);
        }
    }
    switch (random() % 12) {  // spoil it
        case 0:
            text.insert(random() % text.size(), 1, "/-x\r,"[random() % 5]);
            plain = false;
            break;
        case 1:
            text += random() % 2 ? " 5/" : " /5";
            plain = false;
            break;
        case 4:  // relative indices
            text.insert(text.find_first_of("0123456789"), 1, '-');
            plain = false;
            break;
        case 2:
            text += " # note";
            plain = false;
            break;
        case 3:
            text += "  ";
            break;
        default:
            break;
    }
    return text;
}

void expectSameCorners(const std::vector<Corner>& general, CornerFormat generalFormat,
                       const Corner* fast, size_t count, CornerFormat format,
                       const std::string& text) {
    ASSERT_EQ(count < 3 ? 3 : count, general.size()) << '"' << text << '"';
    EXPECT_EQ(format, generalFormat) << '"' << text << '"';
    for (size_t k = 0; k < general.size(); ++k) {
        const Corner& c = fast[k < count ? k : count - 1];  // short faces repeat the last
        EXPECT_EQ(c.v, general[k].v) << '"' << text << '"' << " corner " << k;
        EXPECT_EQ(c.t, general[k].t) << '"' << text << '"' << " corner " << k;
        EXPECT_EQ(c.n, general[k].n) << '"' << text << '"' << " corner " << k;
    }
}

}  // namespace

TEST(GlmScanFaces, ShortcutsReadWhatTheGeneralReadingReads) {
    // Lines where reading corner by corner, as scanf would, is not counting words.
    const std::vector<std::string> tricky = {" 1/2/3 4//6 7/8/9",
                                             " 1/2/3 4/5/ 6/7/8",
                                             " 1/2/3 4/5/6/7 8/9/1",
                                             " 1//2 3/4 5//6",
                                             " 1/2 3/4/5 6/7",
                                             " 1 2 3/4",
                                             " 1 2 3-4",
                                             " 1/2/3 4/5/6 -7/8/9",
                                             " 1/2/3\t4/5/6  7/8/9 ",
                                             " 123456789/1/1 2/2/2 3/3/3",
                                             " 1/2/3 //4 5/6/7",
                                             " 1",
                                             " 1 2",
                                             " 1//2",
                                             " 1/2/",
                                             " 1/2/3 4/5/x",
                                             " 1///2 3 4",
                                             " 1/2/3 4/5/6 7/8/9\r",
                                             " 1//2 3///4 5//6",
                                             " 1/2 3//4 5/6",
                                             " 1/2/3 4/5//6 7/8/9",
                                             " 1/2/3 4//5/6 7/8/9",
                                             " 12/34 56/78/",
                                             " 1 2 3 4 5 6 7 8 9",
                                             " 1/2/3 4/5 6/7/8/9 10/11/12",
                                             " 1/2 3/4/5/6 7/8",
                                             " 1//2 3/4//5 6//7 8//9"};
    std::mt19937_64 random(11);
    size_t plainLines = 0, scalarTaken = 0, wideTaken = 0, countTaken = 0;
    for (size_t i = 0; i < 40000 + tricky.size(); ++i) {
        bool plain = false;
        const std::string text = i < tricky.size() ? tricky[i] : randomFace(random, plain);
        const Line line(text);
        std::vector<Corner> general;
        const CornerFormat generalFormat =
            scanFace(std::string_view(text.data(), text.size()), general);

        Corner corners[64];
        CornerFormat format;
        size_t count = scanPlainFace<true>(line.begin(), line.end, format, corners, 64);
        if (count) {
            ++scalarTaken;
            expectSameCorners(general, generalFormat, corners, count, format, text);
        }
        count = scanPlainFace<false>(line.begin(), line.end, format, nullptr, 0);
        if (count) {
            EXPECT_EQ(std::max<size_t>(count, 3), general.size()) << text;
        }
#if defined(__SSE2__)
        count = scanPlainFaceWide<true>(line.begin(), line.end, format, corners, 64);
        if (count) {
            ++wideTaken;
            expectSameCorners(general, generalFormat, corners, count, format, text);
        }
        count = scanPlainFaceWide<false>(line.begin(), line.end, format, nullptr, 0);
        if (count) {
            ++countTaken;
            EXPECT_EQ(std::max<size_t>(count, 3), general.size()) << text;
        }
#endif
#if defined(GLM_WIDE_FACES)
        if (wideFacesAvailable()) {
            count = wideFace(line.begin(), line.end, format);
            if (count) {
                EXPECT_EQ(std::max<size_t>(count, 3), general.size()) << text;
                EXPECT_EQ(format, generalFormat) << text;
            }
        }
#endif
        plainLines += plain;
    }
    // Every line generated plain with short numbers is one the scalar shortcut takes.
    EXPECT_GT(scalarTaken, plainLines * 9 / 10);
#if defined(__SSE2__)
    EXPECT_GT(wideTaken, plainLines * 8 / 10);
    EXPECT_GE(countTaken, wideTaken);
#endif
}

namespace {

// Everything a model holds that reading decides, as text, for comparing two readings.
std::string describe(const ObjModel* m) {
    std::string text = std::to_string(m->vertexcount) + " " + std::to_string(m->normalcount) + " " +
                       std::to_string(m->texcoordcount) + " " + std::to_string(m->trianglecount) +
                       "\n";
    text.append(reinterpret_cast<const char*>(m->vertices), (m->vertexcount + 1) * 12);
    if (m->normals) {
        text.append(reinterpret_cast<const char*>(m->normals), (m->normalcount + 1) * 12);
    }
    if (m->texcoords) {
        text.append(reinterpret_cast<const char*>(m->texcoords), (m->texcoordcount + 1) * 8);
    }
    text.append(reinterpret_cast<const char*>(m->triangles),
                m->trianglecount * sizeof(ObjTriangle));
    for (const ObjGroup* g = m->groups; g; g = g->next) {
        text += std::string("\n") + g->name + " " + std::to_string(g->material) + ":";
        for (GLuint i = 0; i < g->trianglecount; ++i) {
            text += " " + std::to_string(g->triangleindices[i]);
        }
    }
    return text;
}

// A mesh file of `lines` lines mixing everything the shortcuts take and what they leave.
std::string mixedMesh(unsigned seed, int lines) {
    std::mt19937_64 random(seed);
    std::string text;
    int vertices = 0;
    char number[64];
    for (int i = 0; i < lines; ++i) {
        const int kind = static_cast<int>(random() % 10);
        if (kind < 4 || vertices < 3) {
            const char* keyword = kind == 1 ? "vn" : kind == 2 ? "vt" : "v";
            text += keyword;
            for (int k = 0; k < 3; ++k) {
                const double value = static_cast<double>(random() % 2000000) / 1000.0 - 1000.0;
                std::snprintf(number, sizeof number, random() % 50 ? " %.6f" : " %.3e", value);
                text += number;
            }
            vertices += kind != 1 && kind != 2;
        } else if (kind < 9) {
            bool plain;
            text += "f" + randomFace(random, plain, static_cast<uint64_t>(vertices) / 3);
        } else {
            text += random() % 2 ? "g part" + std::to_string(random() % 4) : "# a note";
        }
        text += random() % 20 ? "\n" : "\r\n";
    }
    return text;
}

ModelPtr readWithShortcuts(const std::string& path, bool on, std::string& output) {
    enablePlainFaces(on);
    testing::internal::CaptureStdout();
    ModelPtr model(glmReadOBJ(path.c_str()));
    output = testing::internal::GetCapturedStdout();
    enablePlainFaces(true);
    return model;
}

}  // namespace

TEST(GlmScanFiles, ShortcutsChangeNothingInTheModelOrItsWarnings) {
    TempDir dir;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const std::string path = dir / ("mixed" + std::to_string(seed) + ".obj");
        writeFile(path, mixedMesh(seed, 3000));
        std::string fastOutput, generalOutput;
        const ModelPtr fast = readWithShortcuts(path, true, fastOutput);
        const ModelPtr general = readWithShortcuts(path, false, generalOutput);
        EXPECT_EQ(describe(fast.get()), describe(general.get())) << path;
        EXPECT_EQ(fastOutput, generalOutput) << path;
        EXPECT_GT(fast->trianglecount, 1000u);
    }
}

TEST(GlmScanFiles, LargeFilesReadInWindowsAsTheStreamedPassesReadThem) {
    // Several windows, lines across their edges, a comment longer than a window, CR LF, and
    // a last line without a line end.
    TempDir dir;
    std::string text = mixedMesh(9, 60000);
    text.insert(text.size() / 2, "# " + std::string(9 << 20, 'c') + "\n");
    text += "g tail\nf 1 2 3";
    const std::string path = dir / "large.obj";
    writeFile(path, text);
    testing::internal::CaptureStdout();
    const ModelPtr mapped(glmReadOBJ(path.c_str()));
    testing::internal::GetCapturedStdout();

    ModelPtr streamed(static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel))));
    streamed->filepath = strdup(path.c_str());
    FILE* file = std::fopen(path.c_str(), "rb");
    glmFirstPass(streamed.get(), file, nullptr);
    streamed->vertices =
        static_cast<GLfloat*>(std::calloc(streamed->vertexcount + 1, 3 * sizeof(GLfloat)));
    ASSERT_GT(streamed->normalcount, 0u);
    ASSERT_GT(streamed->texcoordcount, 0u);
    streamed->normals =
        static_cast<GLfloat*>(std::calloc(streamed->normalcount + 1, 3 * sizeof(GLfloat)));
    streamed->texcoords =
        static_cast<GLfloat*>(std::calloc(streamed->texcoordcount + 1, 2 * sizeof(GLfloat)));
    streamed->triangles =
        static_cast<ObjTriangle*>(std::calloc(streamed->trianglecount, sizeof(ObjTriangle)));
    std::rewind(file);
    testing::internal::CaptureStdout();
    glmFillPass(streamed.get(), file, nullptr);
    testing::internal::GetCapturedStdout();
    std::fclose(file);

    EXPECT_GT(mapped->trianglecount, 20000u);
    EXPECT_EQ(describe(mapped.get()), describe(streamed.get()));
    EXPECT_STREQ(mapped->groups->name, " tail");
    EXPECT_EQ(mapped->groups->trianglecount, 1u);
}
