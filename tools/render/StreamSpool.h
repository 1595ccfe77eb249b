#pragma once
// A stream as a file, for what cannot read it in order: a format whose
// reader must seek, --reference (the input is read twice) and --play. The
// stream is copied to a temporary file, to its end, before it is read. A writer on a
// pipe cannot go back to its header, so the header's sizes say 0,
// 0xFFFFFFFF or a guess; they are set to what came, so every frame is read.
//
// Call sequence: create, readStream, then read the file at path();
// the destructor removes it. Used from one thread.

#include <cstdint>
#include <string>
#include <vector>

namespace sonabel {

class StreamSpool {
public:
    StreamSpool() = default;
    ~StreamSpool();
    StreamSpool(const StreamSpool&) = delete;
    StreamSpool& operator=(const StreamSpool&) = delete;

    // Makes an empty file in $TMPDIR (else /tmp). False with the reason.
    bool create(std::string& error);
    // Copies head, then what fd yields, into the file, to the end, and mends
    // the sizes of a WAVE header. False with the reason.
    bool readStream(std::string& error, int fd, const std::vector<uint8_t>& head = {});
    const std::string& path() const { return name; }

private:
    std::string name;
};

} // namespace sonabel
