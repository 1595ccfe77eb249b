#include "render/LogErrors.h"

#include "core/Log.h"

#include <mutex>

namespace sonabel {

namespace {

std::mutex mutex;
std::vector<std::string> errors;
int depth = 0;
// The hook before the outermost LogErrors, given back when it ends.
LogHook previousOutput = nullptr;

void quiet(const char*) {}

void collect(const char* line) {
    std::lock_guard guard(mutex);
    std::string text(line);
    // "ERROR: <message> (level:1)" -> "<message>"
    const std::string head = "ERROR: ", tail = " (level:1)";
    if (text.rfind(head, 0) == 0) text = text.substr(head.size());
    if (text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
        text.resize(text.size() - tail.size());
    errors.push_back(text);
}

} // namespace

LogErrors::LogErrors() {
    std::lock_guard guard(mutex);
    if (depth++ == 0) {
        errors.clear();
        previousOutput = getOutputHook();
    }
    start = errors.size();
    setOutputHook(&quiet);
    setErrorHook(&collect);
}

LogErrors::~LogErrors() {
    std::lock_guard guard(mutex);
    if (--depth == 0) {
        setErrorHook(nullptr);
        setOutputHook(previousOutput);
    }
}

std::string LogErrors::first() const {
    std::lock_guard guard(mutex);
    return errors.size() > start ? errors[start] : std::string();
}

std::vector<std::string> LogErrors::all() const {
    std::lock_guard guard(mutex);
    return std::vector<std::string>(errors.begin() + static_cast<long>(start), errors.end());
}

} // namespace sonabel
