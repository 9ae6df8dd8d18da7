#include "app/ui/qt/top_level_windows.h"

#include <algorithm>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace zendrel {

// Without a maximise button: the log alone takes the room a larger window gives.
MainWindow::MainWindow()
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (isEnabled()) emit closeRequested();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMinimized)) return;
    // Reported once the state change is through: hiding the window from within it is not safe on every platform.
    QTimer::singleShot(0, this, [this] {
        if (windowState() & Qt::WindowMinimized) emit minimised();
    });
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Only a key no control took reaches the window: the boxes pass Return on, as in a dialog.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        emit enterPressed();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

OwnedWindow::OwnedWindow(QWidget* owner)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::CustomizeWindowHint) {
    // Native windows for both, so that the window system knows who owns whom.
    winId();
    owner->winId();
    windowHandle()->setTransientParent(owner->windowHandle());
}

void OwnedWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}

void OwnedWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit closeRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ShowCentredOn(QWidget* window, QWidget* owner) {
    const QRect frame = owner->frameGeometry();
    QPoint place = frame.center() - QPoint(window->width() / 2, window->height() / 2);
    const QRect screen = owner->screen()->availableGeometry();
    place.setX(std::max(screen.left(), std::min(place.x(), screen.right() + 1 - window->width())));
    place.setY(std::max(screen.top(), std::min(place.y(), screen.bottom() + 1 - window->height())));
    window->move(place);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace zendrel
