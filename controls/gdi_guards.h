#pragma once
// Scoped device contexts and selections: each is released on every path out of the scope that
// took it.

#include <windows.h>

#include "support/handle_guard.h"

struct WindowDeviceContext {
    HWND window;
    HDC dc;
    explicit operator bool() const { return dc != nullptr; }
};
inline void ReleaseWindowDeviceContext(WindowDeviceContext taken) { ReleaseDC(taken.window, taken.dc); }

class WindowDC : public HandleGuard<WindowDeviceContext, ReleaseWindowDeviceContext> {
public:
    explicit WindowDC(HWND window) : HandleGuard({window, GetDC(window)}) {}
    operator HDC() const { return Get().dc; }
};

// Every BeginPaint is ended, whatever it returned.
struct Painting {
    HWND window;
    PAINTSTRUCT paint;
    HDC dc;
    explicit operator bool() const { return true; }
};
inline void EndPainting(Painting painting) { EndPaint(painting.window, &painting.paint); }
inline Painting BeginPainting(HWND window) {
    Painting painting{window, {}, nullptr};
    painting.dc = BeginPaint(window, &painting.paint);
    return painting;
}

class PaintDC : public HandleGuard<Painting, EndPainting> {
public:
    explicit PaintDC(HWND window) : HandleGuard(BeginPainting(window)) {}
    operator HDC() const { return Get().dc; }
};

// Selects the object for the guard's lifetime, so that the DC never keeps one of ours
// selected; a null object leaves the DC's own in place.
struct Selection {
    HDC dc;
    HGDIOBJ previous;
    explicit operator bool() const { return previous != nullptr; }
};
inline void RestoreSelection(Selection selection) { SelectObject(selection.dc, selection.previous); }

class SelectedObject : public HandleGuard<Selection, RestoreSelection> {
public:
    SelectedObject(HDC dc, HGDIOBJ object)
        : HandleGuard({dc, dc && object ? SelectObject(dc, object) : nullptr}) {}
};
