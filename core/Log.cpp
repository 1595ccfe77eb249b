#include "core/Log.h"

#include <string>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sonabel {
namespace {

constexpr int lineCapacity = 2048;

struct LogState {
    std::recursive_mutex mutex;
    // Read without the lock, so that dropped lines cost nothing.
    std::atomic<int> debugThreshold{5};
    std::atomic<int> traceThreshold{1};
    int indentDepth = 0;
    LogHook outputHook = nullptr;
    LogHook errorHook = nullptr;
    FILE* file = nullptr;
    // Where lines go; empty after a failed setLogFile: no file at all.
    std::string path = "log.txt";
    char message[lineCapacity];
    char line[lineCapacity];
};

LogState& state() {
    static LogState s;
    return s;
}

long currentThreadId() { return static_cast<long>(::syscall(SYS_gettid)); }

void formatMessage(LogState& s, const char* format, va_list args) {
    // vsnprintf truncates and always terminates, so the buffer never overflows.
    std::vsnprintf(s.message, sizeof s.message, format, args);
}

// Appends to the line at offset; returns the new length, never past the end.
int appendLine(LogState& s, int offset, const char* format, ...) __attribute__((format(printf, 3, 4)));
int appendLine(LogState& s, int offset, const char* format, ...) {
    if (offset >= lineCapacity - 1) return offset;
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(s.line + offset, static_cast<size_t>(lineCapacity - offset), format, args);
    va_end(args);
    if (n < 0) return offset;
    int end = offset + n;
    return end > lineCapacity - 1 ? lineCapacity - 1 : end;
}

int appendIndent(LogState& s) {
    int n = s.indentDepth < lineCapacity - 1 ? s.indentDepth : lineCapacity - 1;
    std::memset(s.line, ' ', static_cast<size_t>(n));
    s.line[n] = 0;
    return n;
}

void writeLine(LogState& s, bool fileOnly) {
    if (!fileOnly) {
        if (s.outputHook)
            s.outputHook(s.line);
        else
            std::printf("%s\n", s.line);
    }
    if (!s.file && !s.path.empty()) s.file = std::fopen(s.path.c_str(), "w");
    if (s.file) {
        std::fprintf(s.file, "Thread %2lx: %s\n", static_cast<unsigned long>(currentThreadId()), s.line);
        std::fflush(s.file);
    }
}

} // namespace

void logError(int level, const char* format, ...) {
    LogState& s = state();
    char hookLine[lineCapacity];
    LogHook hook = nullptr;
    {
        std::lock_guard guard(s.mutex);
        va_list args;
        va_start(args, format);
        formatMessage(s, format, args);
        va_end(args);
        appendLine(s, 0, "ERROR: %s (level:%d)", s.message, level);
        writeLine(s, false);
        if (level == 1 && s.errorHook) {
            hook = s.errorHook;
            std::memcpy(hookLine, s.line, sizeof hookLine);
        }
    }
    // The hook may show a modal box: no other thread must wait for it.
    if (hook) hook(hookLine);
}

void logDebug(int level, const char* format, ...) {
    LogState& s = state();
    if (level != -1 && level > s.debugThreshold.load(std::memory_order_relaxed)) return;
    std::lock_guard guard(s.mutex);
    va_list args;
    va_start(args, format);
    formatMessage(s, format, args);
    va_end(args);
    int n = appendIndent(s);
    appendLine(s, n, "DEBUG: %s (level:%d)", s.message, level);
    writeLine(s, level == -1);
}

void logTrace(int level, const char* format, ...) {
    LogState& s = state();
    // A dropped line changes nothing, so it is not even formatted.
    if (level > s.traceThreshold.load(std::memory_order_relaxed)) return;
    std::lock_guard guard(s.mutex);
    va_list args;
    va_start(args, format);
    formatMessage(s, format, args);
    va_end(args);
    if (s.message[0] == '<' && s.indentDepth > 0) --s.indentDepth;
    int n = appendIndent(s);
    appendLine(s, n, "%s", s.message);
    if (s.message[0] == '>') ++s.indentDepth;
    writeLine(s, false);
}

void setDebugThreshold(int level) { state().debugThreshold.store(level); }
void setTraceThreshold(int level) { state().traceThreshold.store(level); }
int getDebugThreshold() { return state().debugThreshold.load(); }
int getTraceThreshold() { return state().traceThreshold.load(); }

int getIndentDepth() {
    std::lock_guard guard(state().mutex);
    return state().indentDepth;
}

void setOutputHook(LogHook hook) {
    std::lock_guard guard(state().mutex);
    state().outputHook = hook;
}

void setErrorHook(LogHook hook) {
    std::lock_guard guard(state().mutex);
    state().errorHook = hook;
}

LogHook getOutputHook() {
    std::lock_guard guard(state().mutex);
    return state().outputHook;
}

namespace {

// mkdir -p for the folders above path; false with errno set.
bool makeParents(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        const std::string folder = path.substr(0, at);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

} // namespace

std::string getToolLogPath(const char* program) {
    std::string base;
    // Only an absolute XDG_STATE_HOME counts; a relative one is ignored.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : nullptr;
        }
        if (!home || home[0] != '/') return std::string();
        base = std::string(home) + "/.local/state";
    }
    return base + "/sonabel/" + program + ".log";
}

bool setLogFile(const std::string& path, std::string& reason, bool makeFolders) {
    LogState& s = state();
    std::lock_guard guard(s.mutex);
    if (s.file) std::fclose(s.file);
    s.file = nullptr;
    s.path.clear();
    if (path.empty()) {
        reason = "no folder for the log (neither XDG_STATE_HOME nor HOME is an absolute path)";
        return false;
    }
    errno = 0;
    s.file = std::fopen(path.c_str(), "w");
    // The folders are made only when missing (the first run).
    if (!s.file && errno == ENOENT && makeFolders && makeParents(path)) s.file = std::fopen(path.c_str(), "w");
    if (!s.file) {
        reason = std::strerror(errno ? errno : EIO);
        return false;
    }
    s.path = path;
    return true;
}

void resetLogFile() {
    std::lock_guard guard(state().mutex);
    if (state().file) std::fclose(state().file);
    state().file = nullptr;
}

} // namespace sonabel
