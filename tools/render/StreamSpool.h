#pragma once
// Standard input as a file, for a render whose INPUT is "-". The WAVE
// reader seeks, which a pipe does not allow, so the stream is copied to a
// temporary file, to its end, before the render reads it. A writer on a
// pipe cannot go back to its header, so the header's sizes say 0,
// 0xFFFFFFFF or a guess; they are set to what came, so every frame is read.
//
// Call sequence: create, readStandardInput, then read the file at path();
// the destructor removes it. Used from one thread.

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
    // Copies what fd yields (standard input by default) into the file, to
    // the end, and mends the sizes of a WAVE header. False with the reason.
    bool readStandardInput(std::string& error, int fd = 0);
    const std::string& path() const { return name; }

private:
    std::string name;
};

} // namespace sonabel
