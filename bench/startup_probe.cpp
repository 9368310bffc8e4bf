// Times programs from process start to their window being mapped and to the
// end of their first painting, under an X server (Xvfb), without touching the
// programs: a Damage object on the root window reports every drawing in any
// window. Painting has settled when no drawing has come for --settle ms; the
// program is then killed and its peak resident memory and CPU time taken
// from wait4.
//
//   startup_probe [--runs N] [--settle MS] [--target RATIO] [--target-shown RATIO]
//                 [--target-cpu RATIO] [--target-peak RATIO] [--csv FILE]
//                 LABEL TITLE PROGRAM [LABEL TITLE PROGRAM ...]
//
// --target sets the largest passing ratio to the baseline for the time to
// map, the CPU time and the peak memory alike; the others set one each.
//
// The first program is the baseline the others are compared with; runs take
// turns in an order that rotates each round, so drift in a noisy machine
// falls on all of them alike.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Program {
    std::string label;
    std::string title;
    std::string path;
};

struct Run {
    double shownMs = 0;   // process start to the window mapped
    double paintedMs = 0; // process start to the last drawing before the quiet period
    double cpuMs = 0;     // user + system time of the whole process
    long peakKb = 0;      // peak resident set
    int draws = 0;        // damage reports seen after the map
};

double msSince(Clock::time_point start, Clock::time_point at)
{
    return std::chrono::duration<double, std::milli>(at - start).count();
}

std::string windowTitle(Display* display, Window window)
{
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

std::optional<Run> measure(Display* display, int damageBase, const Program& program,
                           double settleMs)
{
    while (XPending(display)) {
        XEvent stale;
        XNextEvent(display, &stale);
    }
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        execl(program.path.c_str(), program.path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }

    Run run;
    bool shown = false;
    Clock::time_point lastDraw;
    const int fd = ConnectionNumber(display);
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            const Clock::time_point now = Clock::now();
            if (event.type == MapNotify && !shown &&
                windowTitle(display, event.xmap.window) == program.title) {
                shown = true;
                run.shownMs = msSince(start, now);
            } else if (event.type == damageBase + XDamageNotify && shown) {
                ++run.draws;
                lastDraw = now;
            }
        }
        const Clock::time_point now = Clock::now();
        if (run.draws > 0 && msSince(lastDraw, now) >= settleMs)
            break;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "%s exited before painting\n", program.label.c_str());
            return std::nullopt;
        }
        if (msSince(start, now) > 30'000) {
            std::fprintf(stderr, "%s: no window titled \"%s\" painted within 30 s\n",
                         program.label.c_str(), program.title.c_str());
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return std::nullopt;
        }
        pollfd wait{fd, POLLIN, 0};
        poll(&wait, 1, 5);
    }
    run.paintedMs = msSince(start, lastDraw);

    kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return std::nullopt;
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    run.peakKb = usage.ru_maxrss;
    return run;
}

// The q-quantile by linear interpolation between the closest ranks.
double quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (at - static_cast<double>(below)) * (values[above] - values[below]);
}

int usage()
{
    std::fprintf(stderr, "usage: startup_probe [--runs N] [--settle MS] [--target RATIO] "
                         "[--target-shown RATIO] [--target-cpu RATIO] [--target-peak RATIO] "
                         "[--csv FILE] LABEL TITLE PROGRAM [LABEL TITLE PROGRAM ...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 21;
    double settleMs = 500;
    // The largest ratio to the baseline that passes, for shown, painted, cpu
    // and peak in that order; 0: no verdict. Painted is only reported.
    std::array<double, 4> targets = {0, 0, 0, 0};
    const char* csvPath = nullptr;
    std::vector<Program> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (arg == "--settle" && i + 1 < argc)
            settleMs = std::atof(argv[++i]);
        else if (arg == "--target" && i + 1 < argc)
            targets[0] = targets[2] = targets[3] = std::atof(argv[++i]);
        else if (arg == "--target-shown" && i + 1 < argc)
            targets[0] = std::atof(argv[++i]);
        else if (arg == "--target-cpu" && i + 1 < argc)
            targets[2] = std::atof(argv[++i]);
        else if (arg == "--target-peak" && i + 1 < argc)
            targets[3] = std::atof(argv[++i]);
        else if (arg == "--csv" && i + 1 < argc)
            csvPath = argv[++i];
        else if (i + 2 < argc) {
            programs.push_back({argv[i], argv[i + 1], argv[i + 2]});
            i += 2;
        } else
            return usage();
    }
    if (programs.empty() || runs < 1)
        return usage();

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    int damageBase = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageBase, &damageError)) {
        std::fprintf(stderr, "the X server has no DAMAGE extension\n");
        return 1;
    }
    int major = 1;
    int minor = 1;
    XDamageQueryVersion(display, &major, &minor);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XDamageCreate(display, root, XDamageReportRawRectangles);
    XSync(display, False);

    FILE* csv = csvPath ? std::fopen(csvPath, "w") : nullptr;
    if (csv)
        std::fprintf(csv, "program,run,shown_ms,painted_ms,cpu_ms,peak_kb,draws\n");
    std::vector<std::vector<Run>> results(programs.size());
    for (int round = 0; round < runs; ++round) {
        for (std::size_t k = 0; k < programs.size(); ++k) {
            const std::size_t p = (k + static_cast<std::size_t>(round)) % programs.size();
            const std::optional<Run> run = measure(display, damageBase, programs[p], settleMs);
            if (!run)
                return 1;
            results[p].push_back(*run);
            if (csv)
                std::fprintf(csv, "%s,%d,%.2f,%.2f,%.2f,%ld,%d\n", programs[p].label.c_str(), round,
                             run->shownMs, run->paintedMs, run->cpuMs, run->peakKb, run->draws);
        }
    }
    if (csv)
        std::fclose(csv);
    XCloseDisplay(display);

    const char* const names[] = {"shown ms", "painted ms", "cpu ms", "peak KiB"};
    const auto metric = [](const Run& run, int m) {
        const double values[] = {run.shownMs, run.paintedMs, run.cpuMs,
                                 static_cast<double>(run.peakKb)};
        return values[m];
    };
    // medians[p][m], and the quartiles beside them to show the spread.
    std::vector<std::array<std::array<double, 3>, 4>> spread(programs.size());
    for (std::size_t p = 0; p < programs.size(); ++p) {
        for (int m = 0; m < 4; ++m) {
            std::vector<double> values;
            for (const Run& run : results[p])
                values.push_back(metric(run, m));
            spread[p][m] = {quantile(values, 0.25), quantile(values, 0.5), quantile(values, 0.75)};
        }
    }
    std::printf("start-up over %d runs each (settle %.0f ms): median [quartiles]\n", runs,
                settleMs);
    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::printf("  %-10s", programs[p].label.c_str());
        for (int m = 0; m < 4; ++m)
            std::printf("  %s %.1f [%.1f-%.1f]", names[m], spread[p][m][1], spread[p][m][0],
                        spread[p][m][2]);
        std::printf("\n");
    }
    bool missed = false;
    for (std::size_t p = 1; p < programs.size(); ++p) {
        std::printf("  ratio %s/%s:", programs[p].label.c_str(), programs[0].label.c_str());
        for (int m = 0; m < 4; ++m) {
            if (m == 1)
                continue; // painted is reported, the target covers shown, cpu and peak
            const double ratio = spread[p][m][1] / spread[0][m][1];
            const double target = targets[static_cast<std::size_t>(m)];
            const bool met = target <= 0 || ratio <= target;
            missed = missed || !met;
            if (target > 0)
                std::printf("  %s %.2f (%s <= %.2f)", names[m], ratio, met ? "met" : "MISSED",
                            target);
            else
                std::printf("  %s %.2f", names[m], ratio);
        }
        std::printf("  painted ms %.2f\n", spread[p][1][1] / spread[0][1][1]);
    }
    return missed ? 3 : 0;
}
