// Start-up time: from CreateProcess to the program's main window being visible, for Varnholt
// against a minimal program that only shows an empty dialog (the platform's floor) and,
// when given, one that also loads Common Controls 6 and creates the same kinds of controls.
// Usage: startup_benchmark RUNS VARNHOLT_EXE FLOOR_EXE [CONTROLS_FLOOR_EXE]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One start: milliseconds until a visible dialog captioned `caption` exists; -1 on failure.
double TimeToVisible(const std::string& exe, const char* caption) {
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    HWND window = nullptr;
    double elapsed = -1;
    for (;;) {
        QueryPerformanceCounter(&now);
        window = FindWindowA("#32770", caption);
        if (window && IsWindowVisible(window)) {
            elapsed = Seconds(start, now) * 1000;
            break;
        }
        if (Seconds(start, now) > 10) break;
        Sleep(0);
    }
    if (window) PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

double Median(const std::string& exe, const char* caption, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(TimeToVisible(exe, caption));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const int runs = std::max(1, std::atoi(argv[1]));
    TimeToVisible(argv[2], "Varnholt");  // warm the file cache and Wine's own start-up
    const double varnholt = Median(argv[2], "Varnholt", runs);
    const double floor = Median(argv[3], "Empty dialog", runs);
    std::printf("start to visible window, median of %d: Varnholt %.1f ms, empty dialog %.1f ms, ratio %.2f\n",
                runs, varnholt, floor, varnholt / floor);
    if (argc < 5) return varnholt < 0 || floor < 0;
    const double controlsFloor = Median(argv[4], "Controls dialog", runs);
    std::printf("against a dialog with the same manifest and controls: %.1f ms, ratio %.2f\n", controlsFloor,
                varnholt / controlsFloor);
    return varnholt < 0 || floor < 0 || controlsFloor < 0;
}
