// Draws every frame's time over the whole demo from the CSV files zandar-capture --time-frames
// writes: a dot per frame, each scene's median as a bar, the scene boundaries and the 16.7 ms
// line; with a second file, that run ("before") underneath in another colour.
//
//   frame_plot OUT.png AFTER.csv [BEFORE.csv [CAPTION]]
//
// Needs a display for the window library's drawing (frame_bench.sh runs it under xvfb-run).
#include <SFML/Graphics.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Frame {
    double time = 0;
    int scene = 0;
    double ms = 0;
};

struct Run {
    std::vector<Frame> frames;
    double median[10] = {};
};

bool readRun(const char* path, Run& run) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0]))) {
            continue;  // a header: several runs may follow one another in the file
        }
        std::istringstream fields(line);
        std::string frame, time, scene, ms;
        if (std::getline(fields, frame, ',') && std::getline(fields, time, ',') &&
            std::getline(fields, scene, ',') && std::getline(fields, ms, ',')) {
            run.frames.push_back({std::stod(time), std::stoi(scene), std::stod(ms)});
        }
    }
    for (int s = 1; s <= 9; ++s) {
        std::vector<double> ms;
        for (const Frame& f : run.frames) {
            if (f.scene == s) ms.push_back(f.ms);
        }
        if (!ms.empty()) {
            std::sort(ms.begin(), ms.end());
            const std::size_t n = ms.size();
            run.median[s] = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
        }
    }
    return !run.frames.empty();
}

constexpr float kWidth = 1600, kHeight = 600, kLeft = 64, kRight = 24, kTop = 56, kBottom = 48;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: frame_plot OUT.png AFTER.csv [BEFORE.csv [CAPTION]]\n");
        return 2;
    }
    std::vector<Run> runs(argc > 3 ? 2 : 1);  // after first, then before
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (!readRun(argv[2 + i], runs[i])) {
            std::fprintf(stderr, "frame_plot: no frame times in %s\n", argv[2 + i]);
            return 1;
        }
    }
    const std::string caption = argc > 4 ? argv[4] : "";

    // Scales: the whole demo across; up to the worst scene median's 2.5 times (at least 40 ms)
    // upwards, slower frames drawn at the top edge.
    double endTime = 0, topMs = 40;
    for (const Run& run : runs) {
        endTime = std::max(endTime, run.frames.back().time);
        for (int s = 1; s <= 9; ++s) topMs = std::max(topMs, 2.5 * run.median[s]);
    }
    topMs = 10 * std::ceil(topMs / 10);
    endTime = 10 * std::ceil(endTime / 10);
    const float plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
    auto x = [&](double t) { return kLeft + float(t / endTime) * plotW; };
    auto y = [&](double ms) { return kTop + plotH - float(std::min(ms, topMs) / topMs) * plotH; };

    sf::RenderTexture canvas;
    sf::Font font;
    if (!canvas.create(unsigned(kWidth), unsigned(kHeight)) ||
        !font.loadFromFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")) {
        std::fprintf(stderr, "frame_plot: no OpenGL drawing or no DejaVu font here\n");
        return 1;
    }
    canvas.clear(sf::Color::White);
    auto rect = [&](float x0, float y0, float w, float h, sf::Color c) {
        sf::RectangleShape r({w, h});
        r.setPosition(x0, y0);
        r.setFillColor(c);
        canvas.draw(r);
    };
    auto text = [&](const std::string& s, float tx, float ty, unsigned size, sf::Color c,
                    bool right = false) {
        sf::Text t(s, font, size);
        t.setFillColor(c);
        t.setPosition(std::round(right ? tx - t.getLocalBounds().width : tx), std::round(ty));
        canvas.draw(t);
    };
    char label[160];

    // Grid, scene boundaries and names.
    for (double ms = 0; ms <= topMs; ms += 10) {
        rect(kLeft, y(ms), plotW, 1, sf::Color(225, 225, 225));
        std::snprintf(label, sizeof label, "%.0f", ms);
        text(label, kLeft - 8, y(ms) - 9, 13, sf::Color(90, 90, 90), true);
    }
    for (double t = 0; t <= endTime; t += 10) {
        std::snprintf(label, sizeof label, "%.0f s", t);
        text(label, x(t) - 12, kTop + plotH + 6, 13, sf::Color(90, 90, 90));
    }
    text("ms", 8, kTop - 22, 13, sf::Color(90, 90, 90));
    const std::vector<Frame>& frames = runs[0].frames;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (i == 0 || frames[i].scene != frames[i - 1].scene) {
            rect(x(frames[i].time), kTop, 1, plotH, sf::Color(150, 150, 150));
            text("scene " + std::to_string(frames[i].scene), x(frames[i].time) + 4, kTop + 2, 13,
                 sf::Color(60, 60, 60));
        }
    }

    // Dots, the before run underneath; then each scene's median as a bar.
    const sf::Color dots[2] = {sf::Color(30, 90, 200, 150), sf::Color(230, 120, 30, 110)};
    const sf::Color bars[2] = {sf::Color(10, 40, 120), sf::Color(150, 60, 0)};
    for (int r = int(runs.size()) - 1; r >= 0; --r) {
        sf::VertexArray points(sf::Quads);
        for (const Frame& f : runs[std::size_t(r)].frames) {
            const float px = x(f.time), py = y(f.ms);
            for (sf::Vector2f c : {sf::Vector2f(px - 1, py - 1), sf::Vector2f(px + 1, py - 1),
                                   sf::Vector2f(px + 1, py + 1), sf::Vector2f(px - 1, py + 1)}) {
                points.append(sf::Vertex(c, dots[r]));
            }
        }
        canvas.draw(points);
    }
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const std::vector<Frame>& fr = runs[r].frames;
        for (std::size_t i = 0; i < fr.size();) {
            std::size_t j = i;
            while (j < fr.size() && fr[j].scene == fr[i].scene) ++j;
            rect(x(fr[i].time), y(runs[r].median[fr[i].scene]) - 1.5f,
                 x(fr[j - 1].time) - x(fr[i].time), 3, bars[r]);
            i = j;
        }
    }
    for (float px = kLeft; px < kLeft + plotW; px += 12) {
        rect(px, y(16.7), 7, 2, sf::Color(210, 20, 20));
    }
    text("16.7 ms", kLeft + plotW - 4, y(16.7) - 20, 13, sf::Color(210, 20, 20), true);

    // Title and key.
    text("Time of every frame over the whole demo (dots), each scene's median (bars)", kLeft, 8,
         16, sf::Color::Black);
    float keyX = kLeft + 640;
    const char* names[2] = {runs.size() > 1 ? "after" : "this build", "before"};
    for (std::size_t r = 0; r < runs.size(); ++r) {
        rect(keyX, 17, 14, 5, bars[r]);
        text(names[r], keyX + 20, 8, 15, bars[r]);
        keyX += 110;
    }
    text(caption, kLeft + plotW, 8, 13, sf::Color(90, 90, 90), true);
    canvas.display();
    if (!canvas.getTexture().copyToImage().saveToFile(argv[1])) {
        std::fprintf(stderr, "frame_plot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
