#include "render/StreamOutput.h"

#include "core/AudioFormat.h"
#include "io/SndFileFormat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace sonabel {

namespace {

// "the named pipe p.fifo", as a usage error names the output.
std::string kindOf(const std::string& name) {
    if (name == "-") return "standard output";
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) return name;
    if (S_ISFIFO(info.st_mode)) return "the named pipe " + name;
    if (S_ISSOCK(info.st_mode)) return "the socket " + name;
    return "the device " + name;
}

// A socket's name is connected to rather than opened; -1 with errno set.
int connectSocket(const std::string& name) {
    sockaddr_un address{};
    if (name.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int result;
    do result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int reason = errno;
        ::close(fd);
        errno = reason;
        return -1;
    }
    return fd;
}

// From the first stream on, a reader that goes away makes the write fail
// with EPIPE, which is reported; by default SIGPIPE would end the process
// without a word. A handler the program set itself stays.
void ignoreBrokenPipes() {
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGPIPE, &ignore, nullptr);
    }
}

} // namespace

StreamOutput::StreamOutput(const std::string& n) : name(n), shown(n == "-" ? "standard output" : n) {}

StreamOutput::~StreamOutput() { close(); }

bool StreamOutput::isStream(const std::string& name) {
    if (name == "-") return true;
    struct stat info {};
    return ::stat(name.c_str(), &info) == 0 &&
           (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode));
}

bool StreamOutput::choose(const std::string& containerText, int bits, bool floating, int inputBits,
                          std::string& error) {
    SndFileFormat::Container container = SndFileFormat::Wave;
    if (!containerText.empty()) {
        if (!SndFileFormat::parseContainer(containerText, container)) {
            error = "--format takes wav, flac or aiff, not \"" + containerText + "\"";
            return false;
        }
    } else if (name != "-") {
        SndFileFormat::containerOfFileName(name, container);
    }
    if (container != SndFileFormat::Wave) {
        error = kindOf(name) + " carries 8- or 16-bit WAVE; write a file for FLAC or AIFF";
        return false;
    }
    bitsPerSample = bits ? bits : (inputBits < 16 ? inputBits : 16);
    if (floating || (bitsPerSample != 8 && bitsPerSample != 16)) {
        error = kindOf(name) + " carries 8- or 16-bit WAVE; write a file for other sample types";
        return false;
    }
    return true;
}

bool StreamOutput::open(const AudioFormat& format, int64_t expectedFrames, std::string& error,
                        const volatile std::sig_atomic_t* stop) {
    close();
    ignoreBrokenPipes();
    if (name == "-") {
        fd = STDOUT_FILENO;
    } else {
        struct stat info {};
        if (::stat(name.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
            fd = connectSocket(name);
        } else {
            // A named pipe's open waits here until something reads it.
            do fd = ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
            while (fd < 0 && errno == EINTR && !(stop && *stop));
        }
        if (fd < 0) {
            error = std::strerror(errno);
            return false;
        }
        owned = true;
    }
    stream = std::make_unique<WaveStreamWriter>(fd);
    stream->setName(shown);
    stream->setAudioFormat(format);
    stream->setBitsPerSample(bitsPerSample);
    stream->setExpectedFrames(expectedFrames);
    stream->open();
    if (!stream->isOpen()) {
        error = *stream->getWriteError() ? stream->getWriteError() : "unsupported format";
        return false;
    }
    return true;
}

void StreamOutput::close() {
    if (stream) stream->close();
    if (owned) ::close(fd);
    owned = false;
    fd = -1;
}

} // namespace sonabel
