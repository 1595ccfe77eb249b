#pragma once
// Collects the level-1 errors (the ones a user must see) raised while it
// lives, and keeps the log's other lines out of the terminal: they still go
// to the log file. They may nest: each sees the errors raised since it was
// made; the outermost gives the log back the output hook it had before.

#include <string>
#include <vector>

namespace sonabel {

class LogErrors {
public:
    LogErrors();
    ~LogErrors();
    LogErrors(const LogErrors&) = delete;
    LogErrors& operator=(const LogErrors&) = delete;

    // The first error's message without the "ERROR: " frame; empty if none.
    std::string first() const;
    std::vector<std::string> all() const;
    bool none() const { return first().empty(); }

private:
    size_t start;
};

} // namespace sonabel
