#include "render/StreamSpool.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace sonabel {

namespace {

// Copies from one descriptor to the other to the end; false with the
// reason. Writes that the system cuts short (a pipe) are continued.
bool writeAll(int to, const char* bytes, size_t count, std::string& error) {
    for (size_t done = 0; done < count;) {
        const ssize_t put = ::write(to, bytes + done, count - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        done += static_cast<size_t>(put);
    }
    return true;
}

bool copy(int from, int to, std::string& error) {
    std::vector<char> block(1 << 16);
    for (;;) {
        const ssize_t got = ::read(from, block.data(), block.size());
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        if (!writeAll(to, block.data(), static_cast<size_t>(got), error)) return false;
    }
}

uint32_t get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void put32(unsigned char* p, uint32_t v) {
    for (int k = 0; k < 4; ++k) p[k] = static_cast<unsigned char>(v >> (8 * k));
}

// A writer on a pipe cannot go back to its header, so its RIFF and "data"
// sizes say 0, 0xFFFFFFFF or a guess. When "data" is the last chunk and its
// size is not what followed it, both sizes are set to what is there (in
// whole bytes up to 4 GB), so the reader takes every frame that came.
void repairSizes(int file) {
    const off_t length = ::lseek(file, 0, SEEK_END);
    unsigned char head[12];
    if (length < 12 || ::pread(file, head, 12, 0) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return;
    off_t at = 12;
    unsigned char chunk[8];
    while (at + 8 <= length && ::pread(file, chunk, 8, at) == 8) {
        const uint32_t size = get32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            const off_t present = length - at - 8;
            if (static_cast<off_t>(size) == present || static_cast<off_t>(size) + 1 == present) return;
            // Less than came and another chunk's name after it: the size is real.
            const off_t next = at + 8 + static_cast<off_t>(size) + (size & 1);
            unsigned char id[4];
            if (size != 0 && next + 8 <= length && ::pread(file, id, 4, next) == 4 &&
                std::all_of(id, id + 4, [](unsigned char c) { return c >= 0x20 && c < 0x7F; }))
                return;
            const uint32_t real = present > 0xFFFFFFF0 ? 0xFFFFFFF0u : static_cast<uint32_t>(present);
            put32(chunk + 4, real);
            const off_t riffSize = at + static_cast<off_t>(real);
            unsigned char riff[4];
            put32(riff, riffSize > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(riffSize));
            if (::pwrite(file, chunk + 4, 4, at + 4) == 4) (void)::pwrite(file, riff, 4, 4);
            return;
        }
        at += 8 + static_cast<off_t>(size) + (size & 1);
    }
}

} // namespace

StreamSpool::~StreamSpool() {
    if (!name.empty()) ::unlink(name.c_str());
}

bool StreamSpool::create(std::string& error) {
    const char* variable = std::getenv("TMPDIR");
    const std::string folder = variable && variable[0] ? variable : "/tmp";
    const std::string pattern = folder + "/sonabel-render-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) {
        error = std::string(std::strerror(errno)) + " (a temporary file in " + folder + ")";
        return false;
    }
    ::close(fd);
    name = buffer.data();
    return true;
}

bool StreamSpool::readStream(std::string& error, int fd, const std::vector<uint8_t>& head) {
    const int file = ::open(name.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC);
    if (file < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = writeAll(file, reinterpret_cast<const char*>(head.data()), head.size(), error) && copy(fd, file, error);
    if (ok) repairSizes(file);
    if (::close(file) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    return ok;
}

} // namespace sonabel
