// What lies beside the demo on a stranger's machine: each image missing in turn, a model or
// material library missing, the music missing or corrupt, no sound device, truncated and garbage
// files of every kind it reads, and an asset folder it may not write to. The real programs on
// a private X server each: zandar itself for a few seconds past loading (then Escape), and
// zandar-capture, the same driver and scenes on a fixed timeline, where the whole run must be
// seen to complete.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/reliability_support.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kImages = {
    "loading.png",  "blackscreen.png", "bg_blue.png",        "bg_night.png", "scroll.png",
    "scroll2.png",  "whitescreen.png", "sand.png",           "palm.png",     "quistel-bubble.png",
    "quistel.png",  "bmw.png",         "arab.png",           "brumlo-bubble.png",
    "brumlo.png",   "ak47.png",        "cred_1.png",         "cred_2.png",   "cred_3.png",
    "cred_4.png",   "cross.png",       "weed3-1.jpg",        "weed3-2.jpg",  "weed3-3.jpg",
    "weed3-4.jpg",  "weed3-5.jpg",     "weed3-6.jpg",        "filter.png"};

const std::vector<std::string> kModels = {"asd",    "vorn", "oljefalt", "oasis", "ekka",
                                          "trudel", "mips", "oo",       "zandar"};

// Lines every run on the null audio driver writes to standard error whatever the assets: the
// window library notes that the X server cannot switch vertical sync.
bool isBaselineNoise(const std::string& line) {
    return line == "Setting vertical sync not supported" || line.empty();
}

std::vector<std::string> unexpectedErrors(const std::string& err) {
    std::vector<std::string> lines = splitLines(err);
    lines.erase(std::remove_if(lines.begin(), lines.end(), isBaselineNoise), lines.end());
    return lines;
}

bool hasLine(const std::string& text, const std::string& line) {
    const std::vector<std::string> lines = splitLines(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The first third of a file: cut in the middle of whatever it holds.
void truncateFile(const std::string& path) {
    std::string bytes = readBytes(path);
    writeBytes(path, bytes.substr(0, bytes.size() / 3));
}

// Everything past the first `keep` bytes replaced by repeatable noise: the reader recognises
// the format and then meets nonsense.
void garbleFile(const std::string& path, size_t keep) {
    std::string bytes = readBytes(path);
    std::mt19937 noise(20240601u);
    for (size_t i = std::min(keep, bytes.size()); i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(noise() & 0xff);
    }
    writeBytes(path, bytes);
}

// Model text with the statements kept and their numbers replaced: coordinates that overflow or
// are not numbers, and face corners that point anywhere, backwards and forwards.
void scrambleModel(const std::string& path) {
    std::mt19937 noise(7u);
    const char* const oddNumbers[] = {"1e38", "-1e38", "nan", "inf", "-0", "3.5e-39", "x", ""};
    std::ostringstream scrambled;
    for (const std::string& line : splitLines(readBytes(path))) {
        if (line.rfind("v ", 0) == 0 || line.rfind("vn ", 0) == 0) {
            scrambled << line.substr(0, line.find(' '));
            for (int i = 0; i < 3; ++i) scrambled << ' ' << oddNumbers[noise() % 8];
        } else if (line.rfind("f ", 0) == 0) {
            scrambled << 'f';
            for (int corner = 0, corners = 1 + static_cast<int>(noise() % 6); corner < corners;
                 ++corner) {
                auto index = [&] { return static_cast<long>(noise() % 20001) - 10000; };
                scrambled << ' ' << index() << '/' << index() << '/' << index();
            }
        } else {
            scrambled << line;
        }
        scrambled << '\n';
    }
    writeBytes(path, scrambled.str());
}

struct Outcome {
    ChildEnd end;
    bool loaded = false;  // "generic data loaded" was written
    std::string out;
    std::string err;
};

struct Faults : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(x.running());
        assets = copyAssets();
    }
    void TearDown() override { fs::remove_all(assets); }

    std::string asset(const std::string& name) const { return assets + "/" + name; }

    // zandar from the asset copy: once loading is over it plays for `seconds`, then Escape is
    // pressed (again every half second) until it ends. A run that fails during loading is
    // simply collected.
    Outcome play(double seconds = 2.0, std::vector<std::string> environment = {},
                 std::vector<std::string> argvPrefix = {}) {
        environment.insert(environment.begin(), x.environment());
        if (std::none_of(environment.begin(), environment.end(), [](const std::string& e) {
                return e.rfind("ALSOFT_", 0) == 0;
            })) {
            environment.push_back("ALSOFT_DRIVERS=null");
        }
        argvPrefix.push_back(ZANDAR_EXE);
        WatchedChild child(argvPrefix, assets, environment);
        Outcome outcome;
        outcome.loaded = child.waitForOutput("generic data loaded\n", 60.0);
        if (outcome.loaded && !child.watch(seconds)) {
            for (int i = 0; i < 20 && !child.ended(); ++i) {
                x.key("Escape");
                child.watch(0.5);
            }
        }
        outcome.end = child.wait(30.0);
        outcome.out = child.out();
        outcome.err = child.err();
        return outcome;
    }

    // zandar-capture over the whole timeline at 10 frames per second; returns its state log.
    Outcome captureWholeRun(std::string* log) {
        const std::string logPath = assets + "/../" + fs::path(assets).filename().string() +
                                    ".csv";
        WatchedChild child({ZANDAR_CAPTURE_EXE, "-q", "--fps", "10", "--log", logPath,
                            "--assets", assets},
                           "", {x.environment(), "ALSOFT_DRIVERS=null"});
        Outcome outcome;
        outcome.end = child.wait(240.0);
        outcome.out = child.out();
        outcome.err = child.err();
        outcome.loaded = outcome.out.find("generic data loaded\n") != std::string::npos;
        *log = readBytes(logPath);
        fs::remove(logPath);
        return outcome;
    }

    XvfbServer x;
    std::string assets;
};

// The run reached its natural end: the last frame logged belongs to scene 9, after the 122 s
// the scenes take.
void expectCompleteTimeline(const std::string& log) {
    std::vector<std::string> rows = splitLines(log);
    ASSERT_GT(rows.size(), 1000u) << "the log stops early";
    std::istringstream last(rows.back());
    std::string frame, time, scene;
    std::getline(last, frame, ',');
    std::getline(last, time, ',');
    std::getline(last, scene, ',');
    EXPECT_EQ(scene, "9");
    EXPECT_GT(std::atof(time.c_str()), 121.0);
}

void expectCleanEnd(const Outcome& o) {
    EXPECT_FALSE(o.end.timedOut) << "hung; stdout:\n" << o.out;
    EXPECT_EQ(o.end.signal, 0) << o.err;
    EXPECT_EQ(o.end.exitStatus, 0) << o.err;
    EXPECT_TRUE(o.loaded) << o.out;
}

// ---- Images -----------------------------------------------------------------------------------

struct MissingImage : Faults, ::testing::WithParamInterface<std::string> {};

// Every image missing in turn: the run goes on with an empty sprite through all nine scenes and
// ends by itself; the images loaded by file name say " = 0", filter.png says "0".
TEST_P(MissingImage, WholeRunCompletes) {
    const std::string image = GetParam();
    fs::remove(asset(image));
    std::string log;
    Outcome o = captureWholeRun(&log);
    expectCleanEnd(o);
    expectCompleteTimeline(log);
    const bool logged = image.rfind("cred_", 0) == 0 || image == "cross.png" ||
                        image.rfind("weed3-", 0) == 0;
    if (logged) {
        EXPECT_TRUE(hasLine(o.out, image + " = 0")) << o.out;
    }
    EXPECT_EQ(hasLine(o.out, "0"), image == "filter.png") << o.out;
    EXPECT_EQ(hasLine(o.out, "1"), image != "filter.png") << o.out;
}

INSTANTIATE_TEST_SUITE_P(Each, MissingImage, ::testing::ValuesIn(kImages),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

// The live program with representative images gone: the loading picture itself, a sprite that
// fills the screen in several scenes, and an animation frame.
TEST_F(Faults, LiveRunWithoutLoadingPictureSandAndAFrame) {
    for (const char* image : {"loading.png", "sand.png", "weed3-4.jpg"}) {
        fs::remove(asset(image));
    }
    Outcome o = play(3.0);
    expectCleanEnd(o);
    EXPECT_TRUE(hasLine(o.out, "weed3-4.jpg = 0")) << o.out;
    for (const std::string& line : unexpectedErrors(o.err)) {
        EXPECT_NE(line.find("Failed to load image"), std::string::npos) << line;
    }
}

// ---- Models and material libraries ----------------------------------------------------------

struct MissingModel : Faults, ::testing::WithParamInterface<std::string> {};

// A model or its material library missing ends the program during loading with status 1 and the
// reader's message; nothing of what follows the models is loaded.
TEST_P(MissingModel, EndsWithStatusOneAndTheReadersMessage) {
    const std::string model = GetParam();
    for (const char* kind : {"obj", "mtl"}) {
        SCOPED_TRACE(kind);
        const std::string name = "models/" + model + "." + kind;
        const std::string saved = readBytes(asset(name));
        fs::remove(asset(name));
        Outcome o = play();
        writeBytes(asset(name), saved);
        EXPECT_FALSE(o.end.timedOut);
        EXPECT_EQ(o.end.exitStatus, 1) << o.err;
        const std::string expected =
            std::string(kind) == "obj"
                ? "glmReadOBJ() failed: can't open data file \"" + name + "\"."
                : "glmReadMTL() failed: can't open material file \"" + name + "\".";
        EXPECT_TRUE(hasLine(o.err, expected)) << o.err;
        EXPECT_FALSE(o.loaded);
        EXPECT_EQ(o.out.find("cred_1.png"), std::string::npos) << o.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Each, MissingModel, ::testing::ValuesIn(kModels),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

// A missing texture is reported in its message box and the model draws untextured; the
// whole timeline still runs.
TEST_F(Faults, MissingTextureIsReportedAndTheRunCompletes) {
    fs::remove(asset("models/dune.tga"));
    std::string log;
    Outcome o = captureWholeRun(&log);
    expectCleanEnd(o);
    expectCompleteTimeline(log);
    EXPECT_TRUE(hasLine(o.err, "ERROR: Nu am putut incarca o textura models/dune.tga!")) << o.err;
}

// ---- Damaged files ----------------------------------------------------------------------------

enum class Harm { Truncated, Garbled, Scrambled };

struct Damage {
    std::string file;
    Harm harm;
    size_t keep;  // bytes a garbled file keeps from its start
};

const char* harmName(Harm harm) {
    return harm == Harm::Truncated ? "Truncated" : harm == Harm::Garbled ? "Garbled" : "Scrambled";
}

void PrintTo(const Damage& d, std::ostream* os) {
    *os << harmName(d.harm) << ' ' << d.file;
}

std::string damageName(const ::testing::TestParamInfo<Damage>& info) {
    std::string name = std::string(harmName(info.param.harm)) + "_" + info.param.file;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

struct DamagedFile : Faults, ::testing::WithParamInterface<Damage> {};

// Any file the demo reads, cut short or full of noise: a clear message or the fallback, and the
// run goes on and ends normally, live for a few seconds and over the whole fixed timeline.
TEST_P(DamagedFile, NeverCrashesOrHangs) {
    const Damage d = GetParam();
    switch (d.harm) {
        case Harm::Truncated: truncateFile(asset(d.file)); break;
        case Harm::Garbled: garbleFile(asset(d.file), d.keep); break;
        case Harm::Scrambled: scrambleModel(asset(d.file)); break;
    }
    const std::string ext = fs::path(d.file).extension().string();
    Outcome live = play(2.0);
    std::string log;
    Outcome whole = captureWholeRun(&log);
    if (ext == ".obj" && d.harm == Harm::Garbled) {
        // Noise may hold a statement that ends reading: an unknown "v..." token, or a material
        // library that cannot be opened. That is a failure with the reader's message and
        // status 1, before anything after the models is loaded.
        for (const Outcome* o : {&live, &whole}) {
            EXPECT_FALSE(o->end.timedOut);
            EXPECT_EQ(o->end.signal, 0);
            if (o->end.exitStatus == 1) {
                EXPECT_TRUE(o->out.find("glmFirstPass(): Unknown token") != std::string::npos ||
                            o->err.find("() failed: ") != std::string::npos)
                    << o->out << o->err;
                EXPECT_FALSE(o->loaded);
            } else {
                expectCleanEnd(*o);
            }
        }
        EXPECT_EQ(live.end.exitStatus, whole.end.exitStatus) << "the same file, another outcome";
        return;
    }
    expectCleanEnd(live);
    expectCleanEnd(whole);
    expectCompleteTimeline(log);
    if (ext == ".xm" || ext == ".mp3") {
        // The music is partial or silent, without a word.
        EXPECT_TRUE(unexpectedErrors(live.err).empty()) << live.err;
    }
    for (const Outcome* o : {&live, &whole}) {
        if (d.file == "cred_1.png") {
            EXPECT_TRUE(hasLine(o->out, "cred_1.png = 0")) << o->out;
        }
        if (ext == ".tga") {
            EXPECT_TRUE(hasLine(o->err, "ERROR: Nu am putut incarca o textura " + d.file + "!"))
                << o->err;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Each, DamagedFile,
    ::testing::Values(
        Damage{"cred_1.png", Harm::Truncated, 0}, Damage{"cred_1.png", Harm::Garbled, 64},
        Damage{"weed3-2.jpg", Harm::Truncated, 0}, Damage{"weed3-2.jpg", Harm::Garbled, 64},
        Damage{"models/asd.obj", Harm::Truncated, 0}, Damage{"models/asd.obj", Harm::Garbled, 96},
        Damage{"models/asd.obj", Harm::Scrambled, 0},
        Damage{"models/oasis.mtl", Harm::Truncated, 0},
        Damage{"models/oasis.mtl", Harm::Garbled, 16},
        Damage{"models/dune.tga", Harm::Truncated, 0}, Damage{"models/dune.tga", Harm::Garbled, 18},
        Damage{"arabish.xm", Harm::Truncated, 0}, Damage{"arabish.xm", Harm::Garbled, 80},
        Damage{"desert.mp3", Harm::Truncated, 0}, Damage{"desert.mp3", Harm::Garbled, 4}),
    damageName);

// ---- Sound --------------------------------------------------------------------------------------

// Samples of the WAV file that OpenAL's wave driver wrote (16-bit PCM).
std::vector<std::int16_t> wavSamples(const std::string& path) {
    std::string file = readBytes(path);
    size_t data = file.find("data");
    if (data == std::string::npos || data + 8 > file.size()) return {};
    std::vector<std::int16_t> pcm((file.size() - data - 8) / 2);
    std::memcpy(pcm.data(), file.data() + data + 8, pcm.size() * 2);
    return pcm;
}

int loudest(const std::vector<std::int16_t>& pcm) {
    int peak = 0;
    for (std::int16_t s : pcm) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

// With the stream, the module or both gone (or unreadable), the demo plays what is left, in
// silence if nothing is, without a word and with status 0. What would have been heard is
// recorded by OpenAL's wave driver.
TEST_F(Faults, MissingOrCorruptMusicPlaysWhatIsLeft) {
    struct Case {
        const char* what;
        bool mp3, xm, xmGarbled;
        bool heard;
    };
    const std::string mp3 = readBytes(asset("desert.mp3"));
    const std::string xm = readBytes(asset("arabish.xm"));
    for (const Case& c : {Case{"no stream", false, true, false, true},
                          Case{"no module", true, false, false, true},
                          Case{"neither", false, false, false, false},
                          Case{"corrupt module, no stream", false, true, true, false}}) {
        SCOPED_TRACE(c.what);
        writeBytes(asset("desert.mp3"), mp3);
        writeBytes(asset("arabish.xm"), xm);
        if (!c.mp3) fs::remove(asset("desert.mp3"));
        if (!c.xm) fs::remove(asset("arabish.xm"));
        if (c.xmGarbled) garbleFile(asset("arabish.xm"), 0);
        const std::string wav = assets + "/heard.wav", conf = assets + "/alsoft.conf";
        writeBytes(conf,
                   "[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\n"
                   "sample-type = int16\ndither = false\n[wave]\nfile = " +
                       wav + "\n");
        Outcome o = play(3.0, {"ALSOFT_CONF=" + conf, "ALSOFT_DRIVERS"});
        expectCleanEnd(o);
        EXPECT_TRUE(unexpectedErrors(o.err).empty()) << o.err;
        // With nothing to play the device is never opened and no file is written at all.
        std::vector<std::int16_t> pcm = wavSamples(wav);
        if (c.heard) {
            EXPECT_GT(pcm.size(), 44100u * 2) << "less than a second was written";
            EXPECT_GT(loudest(pcm), 1000);
        } else {
            EXPECT_EQ(loudest(pcm), 0);
        }
        fs::remove(wav);
    }
}

// No sound device at all: one warning line, not a flood from the streaming threads, and the
// demo plays on in silence.
TEST_F(Faults, NoSoundDeviceIsOneWarningLine) {
    Outcome o = play(3.0, {"ALSOFT_DRIVERS=none"});
    expectCleanEnd(o);
    EXPECT_EQ(unexpectedErrors(o.err),
              std::vector<std::string>{"audio: no sound device, playing silently"})
        << o.err;
}

// No X display at all (a remote shell, a service): a plain message and status 1, not an abort.
TEST_F(Faults, NoDisplayIsAClearFailure) {
    for (const char* display : {"DISPLAY", "DISPLAY=:1999"}) {
        SCOPED_TRACE(display);
        WatchedChild child({ZANDAR_EXE}, assets, {display, "ALSOFT_DRIVERS=null"});
        ChildEnd end = child.wait(30.0);
        EXPECT_EQ(end.signal, 0) << child.err();
        EXPECT_EQ(end.exitStatus, 1) << child.err();
        EXPECT_NE(child.err().find("zandar: cannot open the X display"), std::string::npos)
            << child.err();
    }
}

// ---- Permissions --------------------------------------------------------------------------------

// The asset folder readable but not writable by the user who runs the demo: it needs nothing
// more. As root permissions do not bind, so the demo runs as nobody.
TEST_F(Faults, ReadOnlyAssetFolder) {
    if (geteuid() != 0) {
        // An ordinary user: take the write bits away from that user.
        for (const auto& entry : fs::recursive_directory_iterator(assets)) {
            fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write,
                            fs::perm_options::remove);
        }
        fs::permissions(assets, fs::perms::owner_write, fs::perm_options::remove);
        Outcome o = play(2.0);
        fs::permissions(assets, fs::perms::owner_write, fs::perm_options::add);
        for (const auto& entry : fs::recursive_directory_iterator(assets)) {
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        }
        expectCleanEnd(o);
        return;
    }
    if (std::system("setpriv --reuid=nobody --regid=nogroup --clear-groups true") != 0) {
        GTEST_SKIP() << "cannot run as nobody here (setpriv failed)";
    }
    // nobody must reach the program and read (only) the assets.
    for (const auto& entry : fs::recursive_directory_iterator(assets)) {
        fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::group_read |
                                          fs::perms::others_read,
                        fs::perm_options::add);
    }
    for (fs::path dir = ZANDAR_EXE; dir.has_relative_path(); dir = dir.parent_path()) {
        if (access(dir.c_str(), F_OK) == 0 &&
            std::system(("setpriv --reuid=nobody --regid=nogroup --clear-groups test -x '" +
                         dir.string() + "'")
                            .c_str()) != 0) {
            GTEST_SKIP() << "nobody cannot reach " << dir;
        }
    }
    for (const auto& entry : fs::recursive_directory_iterator(assets)) {
        if (entry.is_directory()) {
            fs::permissions(entry.path(), fs::perms::others_exec | fs::perms::others_read,
                            fs::perm_options::add);
        }
    }
    fs::permissions(assets, fs::perms::others_exec | fs::perms::others_read,
                    fs::perm_options::add);
    ASSERT_NE(std::system(("setpriv --reuid=nobody --regid=nogroup --clear-groups touch '" +
                           assets + "/written'")
                              .c_str()),
              0)
        << "the folder is writable for nobody";
    Outcome o = play(2.0, {}, {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    expectCleanEnd(o);
    EXPECT_TRUE(hasLine(o.out, "cred_1.png = 1")) << o.out;
    EXPECT_TRUE(unexpectedErrors(o.err).empty()) << o.err;
}

}  // namespace
