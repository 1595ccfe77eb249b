#pragma once
// The main window: the four stream panels' controls on the left and right,
// the filter box in the middle, "Show help" on top, all placed in dialog
// units (404 x 146) over the background picture. Its controls keep their
// numeric ids as object names. It hands every control's event to the
// panel controller that owns it; the filter box belongs to the filter list
// controller, which binds itself to those controls.
//
// Esc, the hidden "Close" button and the close box all close the program:
// the application stops the engine and destroys the panels first.

#include "ui/HelpWindow.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

namespace sonabel {

class Application;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Builds the controls, loads the background and has the application
    // create the panels.
    explicit MainWindow(Application& application);
    ~MainWindow() override;

    // The resource the background is loaded from; tests point it elsewhere.
    static void setBackgroundResource(const QString& path);
    bool isBackgroundEnabled() const { return backgroundEnabled; }

    // "Show help": opens the help window, or raises the open one.
    void showHelp();
    HelpWindow* getHelpWindow() const { return helpWindow.data(); }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildControls();
    void connectPanels();
    void loadBackground();
    void freeBackground();
    // The Enter key in a file name box.
    void commitEditedFileName();

    Application& application;
    QPixmap background;
    bool backgroundEnabled = true;
    bool closing = false;
    QPointer<HelpWindow> helpWindow;
};

} // namespace sonabel
