#include "render/TemporaryOutput.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace sonabel {

namespace {

// The permission bits a new file gets from the process's umask.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

} // namespace

TemporaryOutput::TemporaryOutput(const std::string& name) : target(name), resolved(name) {}

TemporaryOutput::~TemporaryOutput() { discard(); }

bool TemporaryOutput::create(std::string& error) {
    struct stat info {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &info) != 0) {
        mode = newFileMode();
    } else {
        if (S_ISDIR(info.st_mode)) {
            error = std::strerror(EISDIR);
            return false;
        }
        // Replace the file a link names, not the link.
        char real[PATH_MAX];
        if (::realpath(target.c_str(), real)) resolved = real;
        mode = static_cast<mode_t>(info.st_mode & 07777);
    }
    const size_t slash = resolved.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : resolved.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? resolved : resolved.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    // mkstemp makes it private; the result gets the permissions the target has.
    const bool ok = ::fchmod(fd, mode) == 0;
    const int reason = errno;
    ::close(fd);
    temporary = pattern;
    if (!ok) {
        error = std::strerror(reason);
        discard();
        return false;
    }
    return true;
}

bool TemporaryOutput::commit(std::string& error) {
    if (temporary.empty()) {
        error = "nothing was written";
        return false;
    }
    // Where the rename replaces a file, the new one is on the disk first:
    // after a power cut the name holds either file, never a part of one.
    struct stat info {};
    if (::stat(resolved.c_str(), &info) == 0) {
        const int fd = ::open(temporary.c_str(), O_RDONLY);
        // A file system that cannot sync (EINVAL, ENOTSUP) has nothing to
        // wait for.
        const bool synced = fd >= 0 && (::fdatasync(fd) == 0 || errno == EINVAL || errno == ENOTSUP);
        const int reason = errno;
        if (fd >= 0) ::close(fd);
        if (!synced) {
            error = std::strerror(reason);
            discard();
            return false;
        }
    }
    if (std::rename(temporary.c_str(), resolved.c_str()) != 0) {
        error = std::strerror(errno);
        discard();
        return false;
    }
    temporary.clear();
    return true;
}

bool TemporaryOutput::keepIfNew() {
    if (temporary.empty()) return false;
    // link refuses an existing name, so no file of the user's is replaced,
    // not even one made meanwhile.
    const bool kept = ::link(temporary.c_str(), resolved.c_str()) == 0;
    discard();
    return kept;
}

void TemporaryOutput::discard() {
    if (temporary.empty()) return;
    ::unlink(temporary.c_str());
    temporary.clear();
}

bool TemporaryOutput::sameFile(const std::string& a, const std::string& b) {
    struct stat x {}, y {};
    if (::stat(a.c_str(), &x) != 0 || ::stat(b.c_str(), &y) != 0) return false;
    return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

} // namespace sonabel
