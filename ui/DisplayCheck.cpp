#include "ui/DisplayCheck.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sonabel {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool connectUnix(const std::string& path, bool abstract) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path) {
        ::close(fd);
        return false;
    }
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    return ok;
}

bool connectTcp(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
    bool ok = false;
    for (addrinfo* a = found; a && !ok; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return ok;
}

} // namespace

bool DisplayCheck::canConnectX(const std::string& display) {
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos) return false;
    std::string host = display.substr(0, colon);
    const int number = std::atoi(display.c_str() + colon + 1);
    if (host.rfind("unix/", 0) == 0 || host == "unix") host.clear();
    if (host.empty() || host[0] == '/') {
        // A launchd-style path names the socket itself.
        if (!host.empty()) return connectUnix(display, false);
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        return connectUnix(socket, false) || connectUnix(socket, true);
    }
    return connectTcp(host, 6000 + number);
}

bool DisplayCheck::canConnectWayland(const std::string& display) {
    if (!display.empty() && display[0] == '/') return connectUnix(display, false);
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    return !runtime.empty() && connectUnix(runtime + "/" + display, false);
}

std::string DisplayCheck::problem() {
    // A platform named by the user is taken as named, unless it needs the
    // display servers asked about here ("xcb", "wayland", "wayland-egl").
    const std::string platform = environment("QT_QPA_PLATFORM");
    const std::string first = platform.substr(0, platform.find_first_of(":;"));
    const bool wantsX = platform.empty() || first == "xcb";
    const bool wantsWayland = platform.empty() || first.rfind("wayland", 0) == 0;
    if (!wantsX && !wantsWayland) return "";
    const std::string x = environment("DISPLAY");
    const std::string wayland = environment("WAYLAND_DISPLAY");
    if (wantsWayland && !wayland.empty() && canConnectWayland(wayland)) return "";
    if (wantsX && !x.empty() && canConnectX(x)) return "";
    const std::string advice = "use `make demo` or `sonabel-render` to process files without a window, "
                               "or set QT_QPA_PLATFORM=offscreen.";
    if (x.empty() && wayland.empty()) return "sonabel: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); " + advice;
    return "sonabel: cannot connect to the display (DISPLAY=" + x + ", WAYLAND_DISPLAY=" + wayland + "); " + advice;
}

} // namespace sonabel
