#pragma once
// The DisplayHost of the interface: each display filter's window is a
// DisplayWindowWidget, a top-level window owned by the main window. One host
// serves every filter; it lives in FilterListInfo and outlives every filter.

#include "filters/DisplayHost.h"

#include <QPointer>
#include <QWidget>

namespace sonabel {

class QtDisplayHost : public DisplayHost {
public:
    explicit QtDisplayHost(QWidget* owner);

    DisplayWindow* createWindow(DisplayClient* client, const char* caption) override;
    void raiseWindow(DisplayWindow* window) override;
    void destroyWindow(DisplayWindow* window) override;
    void redrawNow(DisplayWindow* window) override;
    void requestRedraw(DisplayWindow* window) override;

private:
    QPointer<QWidget> owner;
};

} // namespace sonabel
