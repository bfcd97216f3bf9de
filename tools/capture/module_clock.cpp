#include "tools/capture/module_clock.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

#include "platform/bass.h"

namespace {

constexpr std::size_t kChunk = 4096;  // samples per libopenmpt call

}  // namespace

ModuleClock::ModuleClock(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error_ = "cannot open " + path;
        return;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    // libopenmpt's notes about the file go nowhere: the live layer does not show them either.
    std::ostringstream notes;
    try {
        module_ = std::make_unique<openmpt::module>(bytes, notes);
        module_->set_repeat_count(-1);
    } catch (const std::exception& e) {
        module_.reset();
        error_ = path + " is not a module libopenmpt can play: " + e.what();
    }
}

ModuleClock::~ModuleClock() = default;

void ModuleClock::renderTo(std::uint64_t end) {
    while (rendered_ < end) {
        std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end - rendered_));
        scratch_.resize(count * 2);
        std::size_t got = module_->read_interleaved_stereo(kSampleRate, count, scratch_.data());
        // A looping module never ends; should one stop anyway, what follows is silence.
        std::fill(scratch_.begin() + static_cast<std::ptrdiff_t>(got * 2), scratch_.end(), 0.0f);
        if (keepAudio_) {
            pending_.insert(pending_.end(), scratch_.begin(), scratch_.end());
        } else {
            taken_ = rendered_ + count;
        }
        rendered_ += count;
    }
    position_ = static_cast<std::uint64_t>(module_->get_current_order() & 0xFFFF) |
                (static_cast<std::uint64_t>(module_->get_current_row() & 0xFFFF) << 16);
}

std::uint64_t ModuleClock::positionAt(std::uint64_t sample) {
    if (!module_) {
        return BASS_POSITION_INVALID;
    }
    if (sample + 1 > rendered_) {
        renderTo(sample + 1);
    }
    return position_;
}

void ModuleClock::takeAudio(std::uint64_t end, std::vector<float>& out) {
    if (end <= taken_) {
        return;
    }
    if (!module_) {
        out.insert(out.end(), static_cast<std::size_t>(end - taken_) * 2, 0.0f);
        taken_ = end;
        return;
    }
    if (end > rendered_) {
        renderTo(end);
    }
    std::size_t count = static_cast<std::size_t>(end - taken_) * 2;
    out.insert(out.end(), pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
    taken_ = end;
}
