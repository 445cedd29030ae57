// Subclassing of the program's own controls, the way comctl32's
// SetWindowSubclass does it (the same procedure signature, reference data
// and a call to what was there before), but with its bookkeeping in the
// process: comctl32 keeps it in a window property, which Wine looks up at
// its server twice for every message the control gets (into the subclass
// and again on the way on), dozens of round trips each time the window is
// shown. Only for windows of the calling thread, one subclass per window.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace velvane {

// Puts `procedure` in front of the window's procedure; it gets `data` with
// every message. False when the window's procedure could not be replaced.
bool subclass(HWND window, SUBCLASSPROC procedure, DWORD_PTR data);

// Takes the subclass away again; messages then go where they went before.
// (When another procedure was put in front of it since, it stays in the
// chain and passes every message on.)
void unsubclass(HWND window, SUBCLASSPROC procedure);

// The message to the procedure that was there before the subclass: the
// subclass's DefSubclassProc. After unsubclass, the window's procedure.
LRESULT call_before_subclass(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);

}  // namespace velvane
