#pragma once
// The window of one display filter. It keeps its picture in a QImage that
// the filter draws into, and paintEvent only copies the image to the screen.
//
// Drawing happens in two ways. redrawNow (the audio thread, synchronous
// display) draws into the image at once and posts a repaint. requestRedraw
// (any thread) posts a draw request, and the interface thread draws when it
// handles it; requests pile up into one. Neither waits for the interface
// thread: redrawNow only tries the image lock, and when the interface thread
// is copying or drawing, it leaves the picture to a posted request instead.
//
// The image lock is taken before the filter's draw lock, on both threads.
// The window is destroyed only by its filter, through QtDisplayHost, after
// the filter has stopped asking for redraws; detach makes sure that nothing
// calls the filter afterwards. A right click offers "Save picture...".

#include "filters/DisplayHost.h"

#include <QImage>
#include <QWidget>
#include <atomic>
#include <mutex>

namespace sonabel {

class DisplayClient;

class DisplayWindowWidget : public QWidget, public DisplayWindow {
    Q_OBJECT
public:
    // A top-level window owned by parent (the main window), 186 x 94 dialog units.
    DisplayWindowWidget(DisplayClient* client, const QString& caption, QWidget* parent);
    ~DisplayWindowWidget() override;

    // Any thread. See above.
    void redrawNow();
    void requestRedraw();
    // Interface thread: the client is not called any more.
    void detach();

    // A copy of the picture as it stands.
    QImage picture();
    // Writes the picture as PNG; false (with an error) when it cannot.
    bool savePicture(const QString& path);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Draws into the image on the interface thread.
    void drawPicture();

    DisplayClient* client;
    std::mutex imageLock; // guards image
    QImage image;
    std::atomic<bool> drawPending{false};
};

} // namespace sonabel
