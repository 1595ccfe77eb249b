#pragma once
// A stream the renderer reads in order (standard input, a named pipe): the
// bytes of a descriptor, of which the first keptBytes are kept, so that the
// header can be looked at before a reader is chosen, read again by it, and
// still be copied to a spool file when no reader can take the stream in
// order. Everything after them passes through once; memory stays bounded
// whatever the stream's length.
//
// Used from one thread: the renderer's, which also ticks the render.

#include "io/SndFileReader.h"

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

namespace sonabel {

class StreamSource : public SndFileReader::Source {
public:
    // fd is not owned. Once *stop is set (a signal handler sets it), a read
    // ends the stream, within 100 ms even on a thread the signal did not
    // interrupt; other interrupted reads go on.
    explicit StreamSource(int fd, const volatile std::sig_atomic_t* stop = nullptr);
    StreamSource(const StreamSource&) = delete;
    StreamSource& operator=(const StreamSource&) = delete;

    // Continues short reads from a pipe until count bytes came or the stream
    // ended; a failed read ends it too, with its reason in getError.
    int64_t read(void* to, int64_t count) override;
    // Back to anywhere in the kept bytes, or forward while that stays within
    // them; -1 elsewhere (what passed is gone, what is skipped would be lost).
    int64_t seek(int64_t offset, int whence) override;
    int64_t tell() override { return position; }

    // The first bytes of the stream, up to count (fewer when it is shorter),
    // read without moving the position.
    const std::vector<uint8_t>& peek(size_t count);
    // Whether every byte taken from the descriptor is still kept, so the
    // stream can be read again from its start (for the spool).
    bool keepsAll() const { return taken == static_cast<int64_t>(kept.size()); }
    const std::vector<uint8_t>& keptBytes() const { return kept; }
    int descriptor() const { return fd; }
    // The system's reason for a failed read; empty when none.
    const std::string& getError() const { return error; }

    static constexpr size_t keepLimit = 1 << 20;
    // A header that claims this many bytes of audio or more was written by
    // a writer that could not know the length and could not go back (sox
    // writes 0x7f000000 or 0x7ffff000, others 0xFFFFFFFF): it claims nothing.
    static constexpr int64_t guessedDataBytes = 0x7f000000;
    // Why a stream that ended before the length its header claims is cut:
    // "the stream ends before the 44100 frames its header claims".
    static std::string endsEarly(int64_t claimedFrames);

private:
    // Reads up to count bytes from the descriptor; fewer at its end or on an
    // error.
    int64_t take(uint8_t* to, int64_t count);
    // Reads into the kept bytes until they reach `size` (or the stream ends).
    void keepUpTo(size_t size);

    int fd;
    const volatile std::sig_atomic_t* stop;
    std::vector<uint8_t> kept;
    int64_t position = 0; // bytes read by the readers, from the stream's start
    int64_t taken = 0;    // bytes taken from the descriptor
    std::string error;
};

} // namespace sonabel
