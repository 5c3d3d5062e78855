// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppShell.h"
#include "MessageBox.h"

#include <QApplication>

// The program as main() runs it: reads the command line, makes the learner's data folder ready, shows the
// menu window and runs until the learner closes it. Returns the exit status.
int runVokabo(int argc, char* argv[]);

// The running program: real message boxes, the system clock, the files in the given data folder.
class Vokabo {
public:
    // Shows the menu window; the application quits when the shell ends.
    Vokabo(QApplication& app, const QString& dataDirectory);

    AppShell& shell() { return shell_; }

private:
    MessageBoxMessenger messages_;
    SystemClock clock_;
    AppShell shell_;
};
