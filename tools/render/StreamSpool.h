#pragma once
// Standard input or output as a file, for a render whose INPUT or OUTPUT is
// "-". The WAVE reader seeks and the writer patches its header, which a
// pipe allows neither of, so a stream is spooled through a temporary file:
// standard input is copied to the end before the render reads it (a header
// whose sizes say 0 or 0xFFFFFFFF, as writers on a pipe leave them, is read
// to the end of what came), and a render for standard output is written
// whole and then copied out, with the header's sizes true.
//
// Call sequence: create, then readStandardInput (before the render) or
// writeStandardOutput (after it); the destructor removes the file. Used
// from one thread.

#include <string>

namespace sonabel {

class StreamSpool {
public:
    StreamSpool() = default;
    ~StreamSpool();
    StreamSpool(const StreamSpool&) = delete;
    StreamSpool& operator=(const StreamSpool&) = delete;

    // Makes an empty file in $TMPDIR (else /tmp). False with the reason.
    bool create(std::string& error);
    // Copies what fd yields (standard input by default) into the file.
    bool readStandardInput(std::string& error, int fd = 0);
    // Copies the file to fd (standard output by default).
    bool writeStandardOutput(std::string& error, int fd = 1);
    const std::string& path() const { return name; }

private:
    std::string name;
};

} // namespace sonabel
