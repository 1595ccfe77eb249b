#pragma once
// Three channels report everything the program has to say: errors, debug
// messages and an indented trace of operation entries and exits. Each builds
// one line (at most 2047 bytes; longer lines are cut) and sends it to the
// output hook or standard output, and to the log file, tagged with the
// calling thread's id. Callable from any thread; the three channels share
// one lock, and formatting a line never allocates.
//
// The log file is "log.txt" in the working directory (the windowed program
// keeps it there) until setLogFile names another: the command-line tools
// take getToolLogPath's, or the user's --log.

#include <string>

namespace sonabel {

using LogHook = void (*)(const char* line);

// Level 1: the user must see it (also passed to the error hook); 2: a failed
// call or misuse; 3 and 4: minor. Always written.
void logError(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Written when level <= debugThreshold; level -1 always, and to the file only.
void logDebug(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Written when level <= traceThreshold. A message starting with ">" indents
// the following lines by one more space, one starting with "<" by one less.
void logTrace(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

void setDebugThreshold(int level);
void setTraceThreshold(int level);
int getDebugThreshold();
int getTraceThreshold();
int getIndentDepth();

// Receives every finished line instead of standard output; null restores it.
void setOutputHook(LogHook hook);
// Receives every finished level-1 error line (the interface shows a box).
void setErrorHook(LogHook hook);

// The hook that setOutputHook installed; null when lines go to standard output.
LogHook getOutputHook();

// Closes the log file; the next line opens it again with mode "w", emptying
// it. Used at start-up and by tests that change the working directory.
void resetLogFile();

// "$XDG_STATE_HOME/sonabel/PROGRAM.log", XDG_STATE_HOME defaulting to
// "~/.local/state"; empty when there is no absolute home to put it in.
std::string getToolLogPath(const char* program);
// From now on the log goes to path, emptied; makeFolders makes the missing
// folders above it (mode 0700), as the state folder may not exist yet.
// False with the system's reason ("Permission denied") when it cannot be
// opened, and the log then goes to no file at all, never to the working
// directory.
bool setLogFile(const std::string& path, std::string& reason, bool makeFolders = false);

} // namespace sonabel
