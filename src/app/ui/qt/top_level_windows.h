#pragma once
// The program's windows as Qt widgets that report what the user does to the window itself. Closing is only reported: the
// shell decides whether a window goes. A disabled window, like one under another's dialog, cannot be closed.

#include <QMainWindow>
#include <QWidget>

namespace zendrel {

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();

signals:
    void closeRequested();
    void minimised();
    void enterPressed();  // Return or Enter that no control took

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A window of its own that stays above its owner (the advanced settings, the OAuth settings); not the owner's child,
// or disabling the owner (as the shell does while this window is open) would disable this one too.
class OwnedWindow final : public QWidget {
    Q_OBJECT
public:
    explicit OwnedWindow(QWidget* owner);

signals:
    void closeRequested();  // the close box, or Escape as in a dialog

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Shows `window` centred on `owner`, as far as the screen reaches, in front and active.
void ShowCentredOn(QWidget* window, QWidget* owner);

}  // namespace zendrel
