// Measures the dialog host layer on the running platform: the time from CreateDialogWindow
// to the first paint of a dialog with a dozen controls (median of many runs), and the CPU
// time the polling modal loop burns while the dialog sits idle.
// Usage: dialog_host_benchmark [runs] [idle seconds]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/main_dialog_controls.h"
#include "dialog/dialog_host.h"

namespace {

LONGLONG Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Milliseconds(LONGLONG from, LONGLONG to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// User plus kernel time of this process, in 100 ns units.
ULONGLONG ProcessCpuTime() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto units = [](FILETIME time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; };
    return units(kernel) + units(user);
}

// The main window's twelve standard controls (its link label is the program's own class) and
// its icon.
HWND BuildDialog() {
    HWND dialog = CreateDialogWindow(nullptr, kMainDialogCaption, kMainDialogX, kMainDialogY, kMainDialogWidth,
                                     kMainDialogHeight, kMainDialogStyle, kMainDialogExStyle);
    for (const ControlSpec& control : kMainDialogControls) {
        if (control.kind != ControlKind::NamedClass) AddControl(dialog, control);
    }
    SetDialogIcon(dialog, kMainDialogIcon);
    return dialog;
}

LONGLONG firstPaint;

INT_PTR CloseOnFirstPaint(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_PAINT && !firstPaint) {
        firstPaint = Ticks();
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    return 0;
}

std::vector<double> OpeningTimes(int runs) {
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        firstPaint = 0;
        const LONGLONG start = Ticks();
        int result = 0;
        RunDialogModal(BuildDialog(), CloseOnFirstPaint, &result);
        samples.push_back(Milliseconds(start, firstPaint));
    }
    std::sort(samples.begin(), samples.end());
    return samples;
}

struct IdleRun {
    UINT milliseconds;
    ULONGLONG cpuAtStart, cpuUsed;
    LONGLONG wallAtStart;
    double wallMilliseconds;
} idle;

// Starts the clock once the dialog is up and the queue has drained, stops it on the timer.
INT_PTR MeasureWhileIdle(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_APP) {
        idle.cpuAtStart = ProcessCpuTime();
        idle.wallAtStart = Ticks();
        SetTimer(dialog, 1, idle.milliseconds, nullptr);
    } else if (message == WM_TIMER) {
        idle.cpuUsed = ProcessCpuTime() - idle.cpuAtStart;
        idle.wallMilliseconds = Milliseconds(idle.wallAtStart, Ticks());
        KillTimer(dialog, 1);
        EndDialogWithResult(dialog, 0);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    idle.milliseconds = argc > 2 ? static_cast<UINT>(std::max(1, std::atoi(argv[2]))) * 1000 : 5000;

    const std::vector<double> opening = OpeningTimes(runs);
    std::printf("CreateDialogWindow to first paint, 12 controls, %d runs: median %.2f ms (min %.2f, max %.2f)\n",
                runs, opening[opening.size() / 2], opening.front(), opening.back());

    HWND dialog = BuildDialog();
    PostMessageA(dialog, WM_APP, 0, 0);
    int result = 0;
    RunDialogModal(dialog, MeasureWhileIdle, &result);
    const double cpuMilliseconds = static_cast<double>(idle.cpuUsed) / 10000.0;
    std::printf("Idle modal loop: %.1f ms CPU in %.0f ms, %.2f%% of one core\n", cpuMilliseconds,
                idle.wallMilliseconds, 100.0 * cpuMilliseconds / idle.wallMilliseconds);
    return 0;
}
