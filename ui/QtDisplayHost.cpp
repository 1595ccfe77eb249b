#include "ui/QtDisplayHost.h"

#include "ui/DisplayWindowWidget.h"

namespace sonabel {

QtDisplayHost::QtDisplayHost(QWidget* ownerWindow) : owner(ownerWindow) {}

DisplayWindow* QtDisplayHost::createWindow(DisplayClient* client, const char* caption) {
    auto* window = new DisplayWindowWidget(client, QString::fromUtf8(caption), owner.data());
    window->show();
    return window;
}

void QtDisplayHost::raiseWindow(DisplayWindow* window) {
    auto* widget = static_cast<DisplayWindowWidget*>(window);
    widget->show();
    widget->raise();
    widget->activateWindow();
}

void QtDisplayHost::destroyWindow(DisplayWindow* window) {
    auto* widget = static_cast<DisplayWindowWidget*>(window);
    widget->detach();
    widget->hide();
    // It may be the caller (a close box): delete it once its events are done.
    widget->deleteLater();
}

void QtDisplayHost::redrawNow(DisplayWindow* window) { static_cast<DisplayWindowWidget*>(window)->redrawNow(); }

void QtDisplayHost::requestRedraw(DisplayWindow* window) {
    static_cast<DisplayWindowWidget*>(window)->requestRedraw();
}

} // namespace sonabel
