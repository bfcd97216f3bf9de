#include "tools/capture/state_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

#include "tools/capture/capture_error.h"

namespace {

// Floats with enough digits to read back the same value; flags as 0 and 1.
std::string text(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    return buffer;
}
std::string text(int value) {
    return std::to_string(value);
}
std::string text(bool value) {
    return value ? "1" : "0";
}

struct Column {
    std::string name;
    std::function<std::string(const SceneStates&)> value;
};

// clang-format off
#define STATE(member) Column{#member, [](const SceneStates& s) { return text(s.member); }}
#define STATE_AT(member, i) \
    Column{#member "[" #i "]", [](const SceneStates& s) { return text(s.member[i]); }}

// Every member of SceneStates, in declaration order, one scene a line.
const std::vector<Column>& stateColumns() {
    static const std::vector<Column> columns = {
        STATE(scene1FirstFrame), STATE(scene1Phase), STATE(scene1Timer), STATE(scene1Angle),
        STATE(scene1Fade),
        STATE(scene2Timer), STATE(scene2RiseY), STATE(scene2RiseZ),
        STATE(scene3Phase), STATE(scene3Timer), STATE(scene3BlackFade), STATE(scene3WhiteFade),
        STATE(scene3ArabY), STATE(scene3GunScale), STATE(scene3CarScale), STATE(scene3ShowGuns),
        STATE(scene3ShowCar),
        STATE(scene4Time), STATE(scene4Phase), STATE(scene4Timer), STATE(scene4Fade),
        STATE(scene4QuistelX), STATE(scene4BubbleY),
        STATE(scene5Phase), STATE(scene5Timer), STATE(scene5Fade), STATE(scene5BrumloY),
        STATE(scene5BubbleScale), STATE(scene5SandX), STATE_AT(scene5PalmX, 0),
        STATE_AT(scene5PalmX, 1), STATE_AT(scene5PalmX, 2), STATE_AT(scene5PalmX, 3),
        STATE_AT(scene5PalmX, 4),
        STATE(scene6Phase), STATE(scene6Timer), STATE(scene6Angle), STATE(scene6Grow),
        STATE(scene7FirstFrame), STATE(scene7Time), STATE(scene7PatternTimer),
        STATE(scene7Pattern), STATE(scene7Phase), STATE(scene7Grow), STATE(scene7Spin),
        STATE(scene8Time), STATE(scene8Phase), STATE(scene8HoldTimer), STATE(scene8Fade),
        STATE(scene8ScrollY),
        STATE(scene9Time), STATE(scene9ScrollY),
    };
    return columns;
}
// clang-format on

#undef STATE
#undef STATE_AT

// The array above has a fixed length; a scene that grows it must grow the log too.
static_assert(sizeof(SceneStates::scene5PalmX) / sizeof(float) == 5);

}  // namespace

std::vector<std::string> StateLog::columns() {
    std::vector<std::string> names = {"frame",     "time",      "sceneIndex",
                                      "frameTime", "beatPulse", "row"};
    for (const Column& column : stateColumns()) {
        names.push_back(column.name);
    }
    return names;
}

StateLog::StateLog(const std::string& path) : path_(path), out_(path, std::ios::trunc) {
    if (!out_) {
        throw CaptureError("cannot write " + path + ": " + std::strerror(errno));
    }
    const std::vector<std::string> names = columns();
    for (std::size_t i = 0; i < names.size(); ++i) {
        out_ << (i ? "," : "") << names[i];
    }
    out_ << '\n';
}

void StateLog::consume(const FrameRecord& record, const Picture*) {
    char time[32];
    std::snprintf(time, sizeof time, "%.6f", record.time);
    out_ << record.frame << ',' << time << ',' << record.sceneIndex << ',' << text(record.frameTime)
         << ',' << text(record.beatPulse) << ',' << record.row;
    for (const Column& column : stateColumns()) {
        out_ << ',' << column.value(record.states);
    }
    out_ << '\n';
    if (!out_) {
        throw CaptureError("cannot write " + path_ + ": " + std::strerror(errno));
    }
}

void StateLog::finish(long) {
    out_.close();
    if (!out_) {
        throw CaptureError("cannot write " + path_ + ": " + std::strerror(errno));
    }
}
