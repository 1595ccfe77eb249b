#pragma once
// Captures the lines the log channels produce (instead of standard output)
// for as long as it lives, so tests can check exact messages.

#include "core/Log.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace sonabel::test {

class LogCapture {
public:
    LogCapture() {
        clear();
        // Not under our own mutex: the log takes its lock before calling us.
        setOutputHook(&LogCapture::onLine);
        setErrorHook(&LogCapture::onError);
    }
    ~LogCapture() {
        setOutputHook(nullptr);
        setErrorHook(nullptr);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> all() const {
        std::lock_guard guard(mutex());
        return lines();
    }
    std::vector<std::string> errorHookLines() const {
        std::lock_guard guard(mutex());
        return errorLines();
    }
    // How many lines contain the text.
    int count(const std::string& text) const {
        std::lock_guard guard(mutex());
        return static_cast<int>(std::count_if(lines().begin(), lines().end(),
                                              [&](const std::string& l) { return l.find(text) != std::string::npos; }));
    }
    bool contains(const std::string& text) const { return count(text) > 0; }
    // The exact line an error of that level with that message makes.
    static std::string error(const std::string& message, int level) {
        return "ERROR: " + message + " (level:" + std::to_string(level) + ")";
    }
    bool hasError(const std::string& message, int level) const {
        std::lock_guard guard(mutex());
        std::string want = error(message, level);
        return std::find(lines().begin(), lines().end(), want) != lines().end();
    }
    void clear() {
        std::lock_guard guard(mutex());
        lines().clear();
        errorLines().clear();
    }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& lines() {
        static std::vector<std::string> v;
        return v;
    }
    static std::vector<std::string>& errorLines() {
        static std::vector<std::string> v;
        return v;
    }
    static void onLine(const char* line) {
        std::lock_guard guard(mutex());
        lines().emplace_back(line);
    }
    static void onError(const char* line) {
        std::lock_guard guard(mutex());
        errorLines().emplace_back(line);
    }
};

} // namespace sonabel::test
