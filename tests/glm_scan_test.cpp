// The reader's shortcuts against the general reading: decimals against a full conversion, the
// counting pass's bound on face corners against the corners read, and whole files read with and
// without the shortcuts, mapped and streamed.
#include "glm/glm_scan.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <regex>

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
    std::vector<char> bytes;
    const char* end;
};

// Decimals as writers print them: signs, 1 to 22 digits, a point anywhere or none, exponents.
std::string randomDecimal(std::mt19937_64& random) {
    const int digits = 1 + static_cast<int>(random() % (random() % 4 ? 16 : 22));
    const int dot = static_cast<int>(random() % (digits + 2)) - 1;  // -1: none
    std::string text = random() % 2 ? "-" : "";
    for (int d = 0; d < digits; ++d) {
        text += d == dot ? "." : "";
        text += static_cast<char>('0' + random() % 10);
    }
    text += dot == digits ? "." : "";
    if (random() % 4 == 0) {
        text += (random() % 2 ? "e" : "E") + std::string(random() % 2 ? "-" : "+") +
                std::to_string(random() % 40);
    }
    return text;
}

}  // namespace

TEST(GlmScanFloats, DecimalsGiveTheFullConversionsFloatBitForBit) {
    std::mt19937_64 random(7);
    size_t taken = 0;
    const size_t tries = 300000;
    for (size_t i = 0; i < tries; ++i) {
        const std::string text = randomDecimal(random);
        const Line line(text);
        float fast = 0.0f;
        const char* stop = nullptr;
        if (!parseDecimal(line.bytes.data(), fast, stop)) {
            continue;
        }
        ++taken;
        float full = 0.0f;
        const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), full);
        ASSERT_EQ(0, std::memcmp(&fast, &full, sizeof fast)) << text;
        ASSERT_EQ(stop - line.bytes.data(), ptr - text.data()) << text;
    }
    EXPECT_GT(taken, tries * 3 / 4);  // the shortcut does take the usual numbers
}

TEST(GlmScanFloats, HalfwayCasesAndOtherFormsReadAsStrtofReadsThem) {
    // Texts so close to a point halfway between two floats that a product of doubles rounds to
    // the wrong side, exact halfway points (ties go to even), and what only the full conversion
    // reads: '+', long digit strings, out of range, inf.
    for (const char* text : {"22.7749547958374",
                             "736884.78125",
                             "-87.1922264099121",
                             "0.46651391685009",
                             "64660.283203125",
                             "16777217",
                             "-16777217.0",
                             "8388608.5",
                             "16777217.001",
                             "+2.5",
                             "-.5",
                             "5.",
                             "2.5E-3",
                             "1e",
                             "123456789012345678901234",
                             "0.1234567890123456789",
                             "1.5e40",
                             "-1.5e40",
                             "1e-30",
                             "1e-45",
                             "-0.0",
                             "inf",
                             "-infinity"}) {
        const Line line(text);
        const char* cursor = line.bytes.data();
        float value = 0.0f;
        ASSERT_TRUE(scanFloat(cursor, line.end, value)) << text;
        char* stop = nullptr;
        const float expected = std::strtof(text, &stop);
        EXPECT_EQ(0, std::memcmp(&value, &expected, sizeof value)) << text;
        EXPECT_EQ(cursor - line.bytes.data(), stop - text) << text;
    }
    const Line nothing("- .");
    const char* cursor = nothing.bytes.data();
    float value = 42.0f;
    EXPECT_FALSE(scanFloat(cursor, nothing.end, value));
    EXPECT_EQ(value, 42.0f);
}

namespace {

// A face line's rest: usually plain in one format, often spoiled in one of the ways that make
// the general reading differ from counting words. Indices up to `largest`, a few far beyond.
std::string randomFace(std::mt19937_64& random, uint64_t largest = 999999) {
    const int format = static_cast<int>(random() % 4);
    const int corners = 1 + static_cast<int>(random() % (random() % 4 ? 5 : 30));
    const auto number = [&]() {
        const uint64_t n = 1 + random() % (random() % 50 ? largest : 99999999999ull);
        return (random() % 8 ? "" : "-") + std::to_string(n);
    };
    std::string text;
    for (int c = 0; c < corners; ++c) {
        text += random() % 8 ? " " : random() % 2 ? "\t" : "  ";
        text += number();
        text += format == 1 ? "/" + number() : format == 2 ? "//" + number() : "";
        text += format == 3 ? "/" + number() + "/" + number() : "";
    }
    switch (random() % 10) {  // spoil it
        case 0:
            text.insert(random() % text.size(), 1, "/-+x\r,"[random() % 6]);
            break;
        case 1:
            text += random() % 2 ? " 5/" : " /5";
            break;
        case 2:
            text += random() % 2 ? " # note" : "//";
            break;
        case 3:
            text += "  ";
            break;
        default:
            break;
    }
    return text;
}

// The words of a plain face line (split at blanks and tabs, every one in the first one's form:
// v, v/t, v//n or v/t/n, each number an optional minus and digits), or 0.
size_t plainWords(const std::string& text) {
    static const std::regex forms[] = {std::regex("-?\\d+"), std::regex("-?\\d+/-?\\d+"),
                                       std::regex("-?\\d+//-?\\d+"),
                                       std::regex("-?\\d+/-?\\d+/-?\\d+")};
    static const std::regex blanks("[ \\t]+");
    const std::regex* form = nullptr;
    size_t words = 0;
    for (std::sregex_token_iterator it(text.begin(), text.end(), blanks, -1), end; it != end;
         ++it) {
        const std::string w = *it;
        if (w.empty()) {
            continue;
        }
        ++words;
        for (const std::regex& f : forms) {
            form = form ? form : std::regex_match(w, f) ? &f : nullptr;
        }
        if (!form || !std::regex_match(w, *form)) {
            return 0;
        }
    }
    return words;
}

}  // namespace

TEST(GlmScanFaces, TheCountingPassCountsPlainFacesExactly) {
    // Lines where reading corner by corner, as scanf would, is not counting words.
    const std::vector<std::string> tricky = {" 1/2/3 4//6 7/8/9",
                                             " 1/2/3 4/5/ 6/7/8",
                                             " 1-2-3",
                                             " 1 2 3-4 5+6",
                                             " 1/2 3/4/5 6/7 8/9",
                                             " x 1 2 3 4",
                                             " 1",
                                             " 1 2",
                                             " 1//",
                                             " 2/2/ 4/4/ 1/1/",
                                             " 1// 2// 3// 4//",
                                             "",
                                             " 1/2/3 4/5/6 7/8/9\r",
                                             " 1 2 3\v4",
                                             " -1/-2/-3 -4/-5/-6 -7/-8/-9 -1/-1/-1"};
    std::mt19937_64 random(11);
    std::vector<Corner> corners;
    size_t plain = 0;
    for (size_t i = 0; i < 40000 + tricky.size(); ++i) {
        const std::string text = i < tricky.size() ? tricky[i] : randomFace(random);
        const Line line(text);
        scanFace(line.bytes.data(), line.end, corners);
        if (plainWords(text) >= 3) {  // so no memory is set aside in vain, nor grown
            ASSERT_EQ(countCorners(line.bytes.data(), line.end), corners.size()) << text;
            ++plain;
        }
    }
    EXPECT_GT(plain, 15000u);
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

// A mesh file of `lines` lines mixing everything the shortcuts take and what they leave:
// number formats, faces plain and spoiled, groups, comments, CR LF, continued lines.
std::string mixedMesh(unsigned seed, int lines) {
    std::mt19937_64 random(seed);
    std::string text;
    int vertices = 0;
    char number[64];
    for (int i = 0; i < lines; ++i) {
        const int kind = static_cast<int>(random() % 10);
        if (kind < 4 || vertices < 3) {
            text += kind == 1 ? "vn" : kind == 2 ? "vt" : "v";
            for (int k = 0; k < 3; ++k) {
                const double value = static_cast<double>(random() % 2000000) / 1000.0 - 1000.0;
                const char* rare[] = {"\t%.3e", " %.0f", "  %.40f"};  // the last runs long
                const char* format = random() % 30 ? " %.6f" : rare[random() % 3];
                std::snprintf(number, sizeof number, format, value);
                text += number;
            }
            vertices += kind != 1 && kind != 2;
        } else if (kind < 9) {
            text += "f" + randomFace(random, static_cast<uint64_t>(vertices) / 3 + 2);
        } else {
            text += random() % 2 ? "g part" + std::to_string(random() % 4) : "# a note";
        }
        text += random() % 40 ? "" : " \\";  // continued on the next line
        text += random() % 20 ? "\n" : "\r\n";
    }
    return text;
}

// Read with the shortcuts on or off.
ModelPtr readWith(const std::string& path, bool shortcuts, std::string& output) {
    enableShortcuts(shortcuts);
    testing::internal::CaptureStdout();
    ModelPtr model(glmReadOBJ(path.c_str()));
    output = testing::internal::GetCapturedStdout();
    enableShortcuts(true);
    return model;
}

}  // namespace

TEST(GlmScanFiles, ShortcutsChangeNothingInTheModelOrItsWarnings) {
    TempDir dir;
    for (unsigned seed = 1; seed <= 4; ++seed) {
        const std::string path = dir / ("mixed" + std::to_string(seed) + ".obj");
        writeFile(path, mixedMesh(seed, 3000));
        std::string fastOutput, generalOutput;
        const ModelPtr fast = readWith(path, true, fastOutput);
        const ModelPtr general = readWith(path, false, generalOutput);
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
    ObjModel& m = *streamed;
    ASSERT_GT(m.normalcount, 0u);
    ASSERT_GT(m.texcoordcount, 0u);
    m.vertices = static_cast<GLfloat*>(std::calloc(m.vertexcount + 1, 3 * sizeof(GLfloat)));
    m.normals = static_cast<GLfloat*>(std::calloc(m.normalcount + 1, 3 * sizeof(GLfloat)));
    m.texcoords = static_cast<GLfloat*>(std::calloc(m.texcoordcount + 1, 2 * sizeof(GLfloat)));
    m.triangles = static_cast<ObjTriangle*>(std::calloc(m.trianglecount, sizeof(ObjTriangle)));
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
