// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The title of the program's information messages.
inline const QString MessageTitle = QStringLiteral("提示信息");

// Shows a modal message to the learner and returns when it has been closed.
class Messenger {
public:
    virtual ~Messenger() = default;
    virtual void showMessage(const QString& text, const QString& title) = 0;
};

// Asks the learner a question in a modal box with a yes and a no; true for yes. Returns when the box has
// been closed.
class Questioner {
public:
    virtual ~Questioner() = default;
    [[nodiscard]] virtual bool askYesNo(const QString& text, const QString& title) = 0;
};
