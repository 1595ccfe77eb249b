#pragma once
// The descriptor that every pluggable class offers: readers, writers,
// filters, codecs and device drivers. Texts are constants owned by the class.

namespace sonabel {

// The author of every class of the system.
inline constexpr const char* sonabelAuthor = "Orvanel";

class AudioExtension {
public:
    virtual ~AudioExtension() = default;
    virtual const char* getName() = 0;
    virtual const char* getAuthor() { return sonabelAuthor; }
    virtual const char* getDescription() = 0;
};

} // namespace sonabel
