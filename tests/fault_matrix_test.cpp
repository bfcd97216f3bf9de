// What lies beside the demo on a stranger's machine: each image missing in turn, a model or
// material library missing, the music missing or corrupt, no sound device, truncated and garbage
// files of every kind it reads, and an asset folder it may not write to. The real programs on
// a private X server each: zandar itself for a few seconds past loading (then Escape), and
// zandar-capture, the same driver and scenes on a fixed timeline, where the whole run must be
// seen to complete.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace fs = std::filesystem;

namespace {

bool hasLine(const std::string& text, const std::string& line) {
    const std::vector<std::string> lines = splitLines(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Standard error without what every run writes whatever the assets: the window library notes
// that the X server cannot switch vertical sync.
std::vector<std::string> unexpectedErrors(const std::string& err) {
    std::vector<std::string> lines;
    for (const std::string& l : splitLines(err)) {
        if (!l.empty() && l != "Setting vertical sync not supported") lines.push_back(l);
    }
    return lines;
}

// A test name from a file name.
std::string nameOf(std::string text) {
    for (char& c : text) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return text;
}

struct Outcome {
    ChildEnd end;
    bool loaded = false;  // "generic data loaded" was written
    std::string out, err, log;
};

struct Faults : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(x.running());
        assets = copyAssets();
    }
    void TearDown() override { fs::remove_all(assets); }

    std::string asset(const std::string& name) const { return assets + "/" + name; }

    // zandar from the asset copy (OpenAL on its null driver unless the caller says otherwise):
    // once loading is over it plays for `seconds`, then Escape is pressed (again every half
    // second) until it ends. A run that fails during loading is simply collected.
    Outcome play(double seconds = 2.0, std::vector<std::string> environment = {},
                 std::vector<std::string> argv = {}) {
        environment.insert(environment.begin(), {x.environment(), "ALSOFT_DRIVERS=null"});
        argv.push_back(ZANDAR_EXE);
        Child child(argv, assets, environment);
        Outcome o;
        o.loaded = child.waitForOutput("generic data loaded\n", 60.0);
        for (int i = 0; o.loaded && i < 20 && !child.watch(i == 0 ? seconds : 0.5); ++i) {
            x.key("Escape");
        }
        o.end = child.wait(30.0);
        o.out = child.out();
        o.err = child.err();
        return o;
    }

    // zandar-capture over the whole timeline at 10 frames per second, with its state log.
    Outcome captureWholeRun() {
        const std::string log = assets + ".csv";
        const ProcessResult r =
            runProcess({ZANDAR_CAPTURE_EXE, "-q", "--fps", "10", "--log", log, "--assets", assets},
                       240.0, {x.environment(), "ALSOFT_DRIVERS=null"});
        const Outcome o{r, r.out.find("generic data loaded\n") != r.out.npos, r.out, r.err,
                        readBytes(log)};
        fs::remove(log);
        return o;
    }

    XvfbServer x;
    std::string assets;
};

void expectCleanEnd(const Outcome& o) {
    EXPECT_FALSE(o.end.timedOut) << "hung; stdout:\n" << o.out;
    EXPECT_EQ(std::make_pair(o.end.signal, o.end.exitStatus), std::make_pair(0, 0)) << o.err;
    EXPECT_TRUE(o.loaded) << o.out;
}

// The run reached its natural end: the last frame logged belongs to scene 9, after the 122 s
// the scenes take.
void expectCompleteRun(const Outcome& o) {
    expectCleanEnd(o);
    const std::vector<std::string> rows = splitLines(o.log);
    ASSERT_GT(rows.size(), 1000u) << "the log stops early";
    long frame = 0;
    double time = 0.0;
    int scene = 0;
    EXPECT_EQ(std::sscanf(rows.back().c_str(), "%ld,%lf,%d", &frame, &time, &scene), 3);
    EXPECT_TRUE(scene == 9 && time > 121.0) << rows.back();
}

// ---- Images -----------------------------------------------------------------------------------

struct MissingImage : Faults, ::testing::WithParamInterface<std::string> {};

// Every image missing in turn: the run goes on with an empty sprite through all nine scenes and
// ends by itself; the images loaded by file name say " = 0", filter.png says "0".
TEST_P(MissingImage, WholeRunCompletes) {
    const std::string image = GetParam();
    fs::remove(asset(image));
    const Outcome o = captureWholeRun();
    expectCompleteRun(o);
    if (image.rfind("cred_", 0) == 0 || image == "cross.png" || image.rfind("weed3-", 0) == 0) {
        EXPECT_TRUE(hasLine(o.out, image + " = 0")) << o.out;
    }
    EXPECT_EQ(hasLine(o.out, "0"), image == "filter.png") << o.out;
    EXPECT_EQ(hasLine(o.out, "1"), image != "filter.png") << o.out;
}

INSTANTIATE_TEST_SUITE_P(
    Each, MissingImage,
    ::testing::Values("loading.png", "blackscreen.png", "bg_blue.png", "bg_night.png", "scroll.png",
                      "scroll2.png", "whitescreen.png", "sand.png", "palm.png",
                      "quistel-bubble.png", "quistel.png", "bmw.png", "arab.png",
                      "brumlo-bubble.png", "brumlo.png", "ak47.png", "cred_1.png", "cred_2.png",
                      "cred_3.png", "cred_4.png", "cross.png", "weed3-1.jpg", "weed3-2.jpg",
                      "weed3-3.jpg", "weed3-4.jpg", "weed3-5.jpg", "weed3-6.jpg", "filter.png"),
    [](const auto& info) { return nameOf(info.param); });

// The live program with representative images gone: the loading picture itself, a sprite that
// fills the screen in several scenes, and an animation frame.
TEST_F(Faults, LiveRunWithoutLoadingPictureSandAndAFrame) {
    for (const char* image : {"loading.png", "sand.png", "weed3-4.jpg"}) fs::remove(asset(image));
    const Outcome o = play(3.0);
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
    for (const std::string kind : {"obj", "mtl"}) {
        SCOPED_TRACE(kind);
        const std::string name = "models/" + GetParam() + "." + kind;
        const std::string saved = readBytes(asset(name));
        fs::remove(asset(name));
        const Outcome o = play();
        writeBytes(asset(name), saved);
        EXPECT_FALSE(o.end.timedOut || o.loaded);
        EXPECT_EQ(o.end.exitStatus, 1) << o.err;
        const std::string message = kind == "obj" ? "glmReadOBJ() failed: can't open data"
                                                  : "glmReadMTL() failed: can't open material";
        EXPECT_TRUE(hasLine(o.err, message + " file \"" + name + "\".")) << o.err;
        EXPECT_EQ(o.out.find("cred_1.png"), std::string::npos) << o.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Each, MissingModel,
                         ::testing::Values("asd", "vorn", "oljefalt", "oasis", "ekka", "trudel",
                                           "mips", "oo", "zandar"),
                         [](const auto& info) { return info.param; });

// ---- Damaged files ----------------------------------------------------------------------------

// Damage: the file gone (keep -2), its first third kept (-1), or a number of bytes kept and the
// rest replaced by repeatable noise, so that the reader recognises the format and then meets
// nonsense.
struct Damage {
    std::string file;
    int keep;
};

void damage(const std::string& path, int keep) {
    std::string bytes = readBytes(path);
    std::mt19937 noise(20240601u);
    if (keep == -1) bytes.resize(bytes.size() / 3);
    for (size_t i = keep; keep >= 0 && i < bytes.size(); ++i) bytes[i] = char(noise() & 0xff);
    keep == -2 ? void(fs::remove(path)) : writeBytes(path, bytes);
}

struct DamagedFile : Faults, ::testing::WithParamInterface<Damage> {};

// Any file the demo reads, cut short or full of noise (and a texture missing): a clear message or
// the fallback, and the run goes on and ends normally, live for a few seconds and over the whole
// fixed timeline. A texture that cannot be read is reported in its message box and the model
// draws untextured.
TEST_P(DamagedFile, NeverCrashesOrHangs) {
    const Damage d = GetParam();
    damage(asset(d.file), d.keep);
    const std::string ext = fs::path(d.file).extension().string();
    const Outcome live = play(2.0), whole = captureWholeRun();
    if (ext == ".obj" && d.keep >= 0) {
        // Noise may hold a statement that ends reading: an unknown "v..." token, or a material
        // library that cannot be opened. That is a failure with the reader's message and
        // status 1, before anything after the models is loaded.
        for (const Outcome* o : {&live, &whole}) {
            EXPECT_FALSE(o->end.timedOut);
            EXPECT_EQ(o->end.signal, 0);
            if (o->end.exitStatus != 1) {
                expectCleanEnd(*o);
                continue;
            }
            EXPECT_TRUE(o->out.find("glmFirstPass(): Unknown token") != std::string::npos ||
                        o->err.find("() failed: ") != std::string::npos)
                << o->out << o->err;
            EXPECT_FALSE(o->loaded);
        }
        EXPECT_EQ(live.end.exitStatus, whole.end.exitStatus) << "the same file, another outcome";
        return;
    }
    expectCleanEnd(live);
    expectCompleteRun(whole);
    if (ext == ".xm" || ext == ".mp3") {  // the music is partial or silent, without a word
        EXPECT_TRUE(unexpectedErrors(live.err).empty()) << live.err;
    }
    for (const Outcome* o : {&live, &whole}) {
        EXPECT_TRUE(d.file != "cred_1.png" || hasLine(o->out, "cred_1.png = 0")) << o->out;
        if (ext == ".tga") {
            EXPECT_TRUE(hasLine(o->err, "ERROR: Nu am putut incarca o textura " + d.file + "!"))
                << o->err;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Each, DamagedFile,
    ::testing::Values(Damage{"cred_1.png", -1}, Damage{"cred_1.png", 64},
                      Damage{"weed3-2.jpg", -1}, Damage{"weed3-2.jpg", 64},
                      Damage{"models/asd.obj", -1}, Damage{"models/asd.obj", 96},
                      Damage{"models/oasis.mtl", -1}, Damage{"models/oasis.mtl", 16},
                      Damage{"models/dune.tga", -2}, Damage{"models/dune.tga", -1},
                      Damage{"models/dune.tga", 18}, Damage{"arabish.xm", -1},
                      Damage{"arabish.xm", 80}, Damage{"desert.mp3", -1}, Damage{"desert.mp3", 4}),
    [](const auto& info) {
        const int keep = info.param.keep;
        return (keep == -2 ? "Missing_" : keep == -1 ? "Truncated_" : "Garbled_") +
               nameOf(info.param.file);
    });

// ---- Sound, display, permissions ------------------------------------------------------------

// With the stream, the module or both gone (or unreadable), the demo plays what is left, in
// silence if nothing is, without a word and with status 0. What would have been heard is
// recorded by OpenAL's wave driver; with nothing to play no device is opened, no file written.
TEST_F(Faults, MissingOrCorruptMusicPlaysWhatIsLeft) {
    const std::string mp3 = readBytes(asset("desert.mp3")), xm = readBytes(asset("arabish.xm"));
    const std::string wav = asset("heard.wav"), conf = asset("alsoft.conf");
    writeBytes(conf, "[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\n"
                     "sample-type = int16\ndither = false\n[wave]\nfile = " + wav + "\n");
    // What is left of the music, and whether anything is heard.
    for (const std::string c : {"module: heard", "stream: heard", "nothing: silent",
                                "noisy module: silent"}) {
        SCOPED_TRACE(c);
        writeBytes(asset("desert.mp3"), mp3);
        writeBytes(asset("arabish.xm"), xm);
        if (c.rfind("stream", 0) != 0) fs::remove(asset("desert.mp3"));
        if (c.find("module") == std::string::npos) fs::remove(asset("arabish.xm"));
        if (c.find("noisy") != std::string::npos) damage(asset("arabish.xm"), 0);
        const Outcome o = play(3.0, {"ALSOFT_CONF=" + conf, "ALSOFT_DRIVERS=wave"});
        expectCleanEnd(o);
        EXPECT_TRUE(unexpectedErrors(o.err).empty()) << o.err;
        const std::string file = readBytes(wav);
        const size_t data = std::min(file.find("data"), file.size());
        std::vector<std::int16_t> pcm(file.size() > data + 8 ? (file.size() - data - 8) / 2 : 0);
        if (!pcm.empty()) std::memcpy(pcm.data(), file.data() + data + 8, pcm.size() * 2);
        int loudest = 0;
        for (std::int16_t sample : pcm) loudest = std::max(loudest, std::abs(int(sample)));
        EXPECT_EQ(loudest > 1000, c.find("heard") != std::string::npos) << loudest;
        EXPECT_TRUE(loudest == 0 || pcm.size() > 44100u * 2) << "less than a second was written";
        fs::remove(wav);
    }
}

// No sound device at all: one warning line, not a flood from the streaming threads, and the
// demo plays on in silence. No X display at all (a remote shell, a service): a plain message
// and status 1, not an abort.
TEST_F(Faults, NoSoundDeviceIsOneWarningAndNoDisplayAClearFailure) {
    const Outcome o = play(3.0, {"ALSOFT_DRIVERS=none"});
    expectCleanEnd(o);
    EXPECT_EQ(unexpectedErrors(o.err),
              std::vector<std::string>{"audio: no sound device, playing silently"});
    for (const char* display : {"DISPLAY", "DISPLAY=:1999"}) {
        const ProcessResult r =
            runProcess({ZANDAR_EXE}, 30.0, {display, "ALSOFT_DRIVERS=null"}, assets);
        EXPECT_EQ(std::make_pair(r.signal, r.exitStatus), std::make_pair(0, 1)) << display << r.err;
        EXPECT_NE(r.err.find("zandar: cannot open the X display"), std::string::npos) << r.err;
    }
}

// The asset folder readable but not writable by the user who runs the demo: it needs nothing
// more. As root permissions do not bind, so the demo runs as nobody (who must be able to reach
// the program); an ordinary user loses the write bits instead.
TEST_F(Faults, ReadOnlyAssetFolder) {
    const bool root = geteuid() == 0;
    const std::string asNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    if (root && std::system((asNobody + "test -x " ZANDAR_EXE).c_str()) != 0) {
        GTEST_SKIP() << "nobody cannot run " ZANDAR_EXE;
    }
    auto writable = [&](bool allowed) {
        const auto bits = root ? fs::perms::others_read | fs::perms::others_exec
                               : fs::perms::owner_write;
        const auto how = root || allowed ? fs::perm_options::add : fs::perm_options::remove;
        fs::permissions(assets, bits, how);
        for (const auto& e : fs::recursive_directory_iterator(assets)) {
            fs::permissions(e.path(), bits, how);
        }
    };
    writable(false);
    if (root) {
        ASSERT_NE(std::system((asNobody + "touch '" + assets + "/written'").c_str()), 0);
    }
    const Outcome o = play(2.0, {}, root ? std::vector<std::string>{"setpriv", "--reuid=nobody",
                                                                    "--regid=nogroup",
                                                                    "--clear-groups"}
                                         : std::vector<std::string>{});
    writable(true);  // so that the copy can be removed
    expectCleanEnd(o);
    EXPECT_TRUE(hasLine(o.out, "cred_1.png = 1")) << o.out;
    EXPECT_TRUE(unexpectedErrors(o.err).empty()) << o.err;
}

}  // namespace
