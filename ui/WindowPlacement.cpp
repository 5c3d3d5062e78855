// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowPlacement.h"

#include <QEvent>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

// The frame of the last window that the window manager framed. Windows of one program get the same
// decorations, so this is the best guess for a window that has not been framed yet.
QMargins lastFrame;

QMargins frameOf(const QWidget& window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

void place(QWidget& window, const QMargins& frame)
{
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize outer = window.size().grownBy(frame);
    // A window nearly as large as the screen stays clear of the desktop's panels.
    const QRect free = screen->availableGeometry();
    const int x = std::clamp(area.x() + (area.width() - outer.width()) / 2, free.left(),
                             std::max(free.left(), free.left() + free.width() - outer.width()));
    const int y = std::clamp(area.y() + (area.height() - outer.height()) / 2, free.top(),
                             std::max(free.top(), free.top() + free.height() - outer.height()));
    // move() places a top-level window's frame, not its client area.
    window.move(x, y);
}

const QString WaitingName = QStringLiteral("centreWhenFramed");

// Waits for the window manager's frame, re-centres the window by it once, and goes.
class CentreWhenFramed final : public QObject {
public:
    CentreWhenFramed(QWidget& window, const QMargins& assumed) : QObject(&window), assumed_(assumed)
    {
        // A window centred again before it was framed waits once, with what was assumed last.
        qDeleteAll(window.findChildren<QObject*>(WaitingName, Qt::FindDirectChildrenOnly));
        setObjectName(WaitingName);
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() != QEvent::Move || window->frameGeometry() == window->geometry())
            return false;
        const QMargins frame = frameOf(*window);
        lastFrame = frame;
        if (frame != assumed_)
            place(*window, frame);
        window->removeEventFilter(this);
        deleteLater();
        return false;
    }

private:
    QMargins assumed_;
};

} // namespace

void fitOnScreen(QWidget& window, const QSize& preferred)
{
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    const bool framed = window.isVisible() && window.frameGeometry() != window.geometry();
    const QSize room = screen->availableGeometry().size().shrunkBy(framed ? frameOf(window) : lastFrame);
    window.resize(preferred.boundedTo(room).expandedTo(window.minimumSize()));
}

void centreOnScreen(QWidget& window)
{
    if (window.isVisible() && window.frameGeometry() != window.geometry()) {
        place(window, frameOf(window));
        return;
    }
    place(window, lastFrame);
    new CentreWhenFramed(window, lastFrame);
}
