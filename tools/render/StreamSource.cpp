#include "render/StreamSource.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace sonabel {

StreamSource::StreamSource(int descriptor, const volatile std::sig_atomic_t* flag) : fd(descriptor), stop(flag) {}

int64_t StreamSource::take(uint8_t* to, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        // The flag is looked at every 100 ms while the writer is silent: the
        // signal that set it may have interrupted another thread than this.
        if (stop) {
            pollfd ready{fd, POLLIN, 0};
            while (!*stop && ::poll(&ready, 1, 100) == 0) {
            }
            if (*stop) break;
        }
        const ssize_t got = ::read(fd, to + done, static_cast<size_t>(count - done));
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR && !(stop && *stop)) continue;
            if (errno == EINTR) break;
            if (error.empty()) error = std::strerror(errno);
            break;
        }
        done += got;
    }
    taken += done;
    return done;
}

void StreamSource::keepUpTo(size_t size) {
    size = std::min(size, keepLimit);
    // Only while nothing has passed beyond the kept bytes.
    if (size <= kept.size() || !keepsAll()) return;
    const size_t had = kept.size();
    kept.resize(size);
    const int64_t got = take(kept.data() + had, static_cast<int64_t>(size - had));
    kept.resize(had + static_cast<size_t>(got));
}

const std::vector<uint8_t>& StreamSource::peek(size_t count) {
    keepUpTo(count);
    return kept;
}

int64_t StreamSource::read(void* to, int64_t count) {
    if (count <= 0) return 0;
    uint8_t* out = static_cast<uint8_t*>(to);
    // A header is small: reading it keeps it, so it may be read again.
    if (keepsAll() && position + count <= static_cast<int64_t>(keepLimit))
        keepUpTo(static_cast<size_t>(position + count));
    int64_t done = 0;
    if (position < static_cast<int64_t>(kept.size())) {
        done = std::min(count, static_cast<int64_t>(kept.size()) - position);
        std::memcpy(out, kept.data() + position, static_cast<size_t>(done));
        position += done;
    }
    if (done < count && position == taken) {
        const int64_t got = take(out + done, count - done);
        done += got;
        position += got;
    }
    return done;
}

int64_t StreamSource::seek(int64_t offset, int whence) {
    int64_t target = -1;
    if (whence == SEEK_SET) target = offset;
    else if (whence == SEEK_CUR) target = position + offset;
    if (target < 0) return -1;
    if (target == position) return position;
    if (target > static_cast<int64_t>(kept.size())) keepUpTo(static_cast<size_t>(target));
    if (target > static_cast<int64_t>(kept.size())) return -1;
    if (target < position && position > static_cast<int64_t>(kept.size())) {
        // Back into the kept bytes from beyond them: the bytes between are gone.
        return -1;
    }
    position = target;
    return position;
}

std::string StreamSource::endsEarly(int64_t claimedFrames) {
    return "the stream ends before the " + std::to_string(claimedFrames) + " frames its header claims";
}

} // namespace sonabel
