#pragma once

#include "AppShell.h"
#include "MessageBox.h"

#include <QApplication>

// The program as main() runs it: real message boxes, the system clock, the files beside the executable.
class Vokabo {
public:
    // Shows the menu window; the application quits when the shell ends.
    explicit Vokabo(QApplication& app);

    AppShell& shell() { return shell_; }

private:
    MessageBoxMessenger messages_;
    SystemClock clock_;
    AppShell shell_;
};
