// Start-up and memory of the real program, measured from outside as a person
// sees them: the time from starting the program to its main window mapped on
// the display, and the memory of the program and of every process it started
// (the web engine's) once the top screen has settled.
//
// Baseline: the same two figures for a bare Qt widgets window
// (probe_bare_window), started the same way in the same run. Goals: mapped in
// under 0.5 s on an idle two-core machine; under 200 MB resident and 80 MB
// proportional in all, with no web-engine process before a screen needs one.
//
// Needs a display (bench/run-all starts one with xvfb-run). Each round runs in
// a private HOME with servers that answer nothing, so neither a keyring nor
// the network is waited for.
//
// probe_startup [PROGRAM [BARE_PROGRAM]]   (defaults: this build's programs)
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;

struct Round {
    double mappedSeconds = -1; // < 0: never mapped
    long rssKb = 0; // the program and its descendants
    long pssKb = 0;
    int processes = 0;
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The parent pid of `pid` from /proc, or -1 when it is gone.
int parentOf(int pid)
{
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(stat.substr(close + 2));
    char state = 0;
    int ppid = -1;
    rest >> state >> ppid;
    return ppid;
}

// `root` and every process below it.
std::vector<int> processTree(int root)
{
    std::vector<int> all;
    DIR *proc = opendir("/proc");
    if (!proc)
        return { root };
    std::vector<std::pair<int, int>> parents;
    while (dirent *e = readdir(proc)) {
        const int pid = std::atoi(e->d_name);
        if (pid > 0)
            parents.emplace_back(pid, parentOf(pid));
    }
    closedir(proc);
    all.push_back(root);
    for (size_t i = 0; i < all.size(); ++i)
        for (const auto &[pid, ppid] : parents)
            if (ppid == all[i])
                all.push_back(pid);
    return all;
}

long smapsField(const std::string &rollup, const char *field)
{
    const auto at = rollup.find(field);
    return at == std::string::npos ? 0 : std::atol(rollup.c_str() + at + std::strlen(field));
}

// CPU ticks used so far by the whole tree.
long treeTicks(int root)
{
    long ticks = 0;
    for (int pid : processTree(root)) {
        const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14)
                utime = std::atol(field.c_str());
            if (i == 15)
                stime = std::atol(field.c_str());
        }
        ticks += utime + stime;
    }
    return ticks;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

// The _NET_WM_PID Qt sets on its windows, or 0.
int windowPid(xcb_connection_t *c, xcb_window_t w, xcb_atom_t netWmPid)
{
    xcb_get_property_reply_t *r
        = xcb_get_property_reply(c, xcb_get_property(c, 0, w, netWmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    int pid = 0;
    if (r && xcb_get_property_value_length(r) == 4)
        pid = int(*static_cast<uint32_t *>(xcb_get_property_value(r)));
    std::free(r);
    return pid;
}

Round runOnce(const std::string &program, bool settle)
{
    Round round;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no display: run under xvfb-run\n");
        std::exit(2);
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t netWmPid = atom(c, "_NET_WM_PID");
    xcb_flush(c);

    char home[] = "/tmp/tavro-probe-XXXXXX";
    if (!mkdtemp(home)) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    const std::string config = std::string(home) + "/servers.ini";
    {
        std::ofstream ini(config);
        // A port nobody listens on: every request fails at once.
        ini << "[servers]\n";
        for (const char *key : { "storeApi", "storeWeb", "profile", "sync", "newsRpc", "files", "analytics" })
            ini << key << "=http://127.0.0.1:9\n";
    }

    const auto started = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setenv("HOME", home, 1);
        setenv("XDG_CONFIG_HOME", (std::string(home) + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (std::string(home) + "/.local/share").c_str(), 1);
        setenv("XDG_CACHE_HOME", (std::string(home) + "/.cache").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        // The web engine refuses its sandbox when run as root (CI runs so).
        if (geteuid() == 0)
            setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        const int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execl(program.c_str(), program.c_str(), "--config", config.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }

    // The first ordinary (not override-redirect) window of the child mapped.
    pollfd fd { xcb_get_file_descriptor(c), POLLIN, 0 };
    const auto deadline = started + std::chrono::seconds(30);
    while (round.mappedSeconds < 0 && Clock::now() < deadline) {
        while (xcb_generic_event_t *e = xcb_poll_for_event(c)) {
            if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                auto *map = reinterpret_cast<xcb_map_notify_event_t *>(e);
                if (!map->override_redirect && windowPid(c, map->window, netWmPid) == child)
                    round.mappedSeconds = std::chrono::duration<double>(Clock::now() - started).count();
            }
            std::free(e);
        }
        if (round.mappedSeconds < 0)
            poll(&fd, 1, 5);
    }

    if (round.mappedSeconds >= 0 && settle) {
        // Settled: the tree used under 2 % of a core over the last second, or
        // 15 s passed.
        const long hz = sysconf(_SC_CLK_TCK);
        long before = treeTicks(child);
        for (int i = 0; i < 15; ++i) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const long now = treeTicks(child);
            if (now - before <= hz / 50)
                break;
            before = now;
        }
        for (int pid : processTree(child)) {
            const std::string rollup = readFile("/proc/" + std::to_string(pid) + "/smaps_rollup");
            round.rssKb += smapsField(rollup, "Rss:");
            round.pssKb += smapsField(rollup, "Pss:");
            ++round.processes;
        }
    }

    for (int pid : processTree(child))
        kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(child, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    xcb_disconnect(c);
    std::system((std::string("rm -rf ") + home).c_str());
    return round;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const std::string program = argc > 1 ? argv[1] : TAVRO_APP;
    const std::string bare = argc > 2 ? argv[2] : TAVRO_BARE_WINDOW;

    std::vector<double> ours, base, rss, pss, baseRss;
    int processes = 0;
    for (int i = 0; i < kRounds; ++i) {
        const Round b = runOnce(bare, true);
        const Round o = runOnce(program, true);
        if (o.mappedSeconds < 0 || b.mappedSeconds < 0) {
            std::fprintf(stderr, "a window was never mapped (round %d)\n", i + 1);
            return 1;
        }
        base.push_back(b.mappedSeconds);
        baseRss.push_back(b.rssKb / 1024.0);
        ours.push_back(o.mappedSeconds);
        rss.push_back(o.rssKb / 1024.0);
        pss.push_back(o.pssKb / 1024.0);
        processes = std::max(processes, o.processes);
    }
    const double o = median(ours), b = median(base);
    std::printf("start-up to the window mapped (median of %d, min in brackets)\n", kRounds);
    std::printf("  bare Qt window (baseline)      : %7.0f ms (%.0f)\n", b * 1e3,
        *std::min_element(base.begin(), base.end()) * 1e3);
    std::printf("  tavro                          : %7.0f ms (%.0f)  %.1fx the bare window; goal < 500 ms\n",
        o * 1e3, *std::min_element(ours.begin(), ours.end()) * 1e3, o / b);
    std::printf("memory at the top screen, the program and its %d process(es)\n", processes);
    std::printf("  bare Qt window resident (baseline): %6.0f MB\n", median(baseRss));
    std::printf("  tavro resident                    : %6.0f MB  %.1fx the bare window; goal < 200 MB\n",
        median(rss), median(rss) / median(baseRss));
    std::printf("  tavro proportional                : %6.0f MB  goal < 80 MB\n", median(pss));
    return 0;
}
