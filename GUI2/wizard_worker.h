// Long work off the window's thread, and calls from a worker back onto it.
#pragma once

#include <functional>

class QDialog;
class QWidget;

// Runs `work` on a new thread while the calling (window) thread keeps
// handling events: windows repaint, timers tick. `busy`, when given, is
// disabled meanwhile so that no second action starts. Returns when the work
// has ended; an exception it raised is raised again here.
void wizard_run_off_gui(QWidget* busy, const std::function<void()>& work);

// The same behind a modal dialog: the dialog is shown while the work runs
// and closed by the window thread once it has ended. The dialog must not
// close itself before (see connecting_dialog).
void wizard_run_behind_dialog(QDialog& dialog, const std::function<void()>& work);

// Runs `call` on the window thread and waits for it. From the window
// thread itself it is a plain call. The window thread must be running its
// event loop (or a nested one) for the call to happen.
void wizard_on_gui_thread(const std::function<void()>& call);
