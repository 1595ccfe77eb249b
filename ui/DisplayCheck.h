#pragma once
// Whether the program has a screen to open its window on, asked before Qt
// is started: Qt ends the process when its platform cannot connect, and the
// user should get one clear line instead.

#include <string>

namespace sonabel {

class DisplayCheck {
public:
    // Empty when a window can be shown (or QT_QPA_PLATFORM chooses a
    // platform other than xcb or wayland), else the line to print.
    static std::string problem();
    // Whether an X server answers on the display named like ":0" or
    // "host:0.0", or a Wayland compositor on the socket named.
    static bool canConnectX(const std::string& display);
    static bool canConnectWayland(const std::string& display);
};

} // namespace sonabel
