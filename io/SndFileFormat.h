#pragma once
// The format of a file that libsndfile reads or writes: its container
// (WAVE, FLAC, AIFF), its sample type (8- to 32-bit PCM, or 32-bit float),
// channels and rate. The WAVE record it derives from carries channels, rate
// and bits, so a caller that only needs those takes it as a WaveFileFormat.
//
// Sample values are full scale -1.0..+1.0 for every sample type: a b-bit
// sample s is s / 2^(b-1), and encoding rounds v * 2^(b-1) half up after
// clipping it to the type's range, as the 8- and 16-bit codec does.

#include "io/WaveFileFormat.h"

#include <string>

namespace sonabel {

// 32-bit IEEE float samples.
inline constexpr FourCC ENCODING_FLOAT{"FLT"};
inline constexpr FourCC FOURCC_FLAC{"fLaC"};
inline constexpr FourCC FOURCC_AIFF{"AIFF"};

class SndFileFormat : public WaveFileFormat {
public:
    enum Container { Wave, Flac, Aiff, Other };

    SndFileFormat() = default;
    ~SndFileFormat() override = default;

    FourCC getFileType() const override;
    const char* getExtension() const override;
    FourCC getEncoding() const override { return floating ? ENCODING_FLOAT : ENCODING_PCM; }
    bool isBigEndian() const override { return container == Aiff; }
    // Only 8-bit WAVE samples are unsigned.
    bool isSigned() const override { return !(container == Wave && bitsPerSample == 8 && !floating); }

    // libsndfile's format word for writing this format (container, sample
    // type, and the extensible WAVE header for more than 2 channels or PCM
    // of more than 16 bits); 0 when the container cannot hold the type.
    int toSndFile() const;
    // Container, sample type and extensible flag from what libsndfile says a
    // file holds. Compressed samples count as the bits they decode to.
    void fromSndFile(int sndFileFormat);
    // Whether the container holds the sample type (FLAC: 8 to 24 bits).
    bool canHold() const;
    // For messages: "24-bit PCM", "FLAC, 16-bit PCM", "extensible WAVE,
    // 32-bit float".
    std::string describe() const;
    // "8-bit PCM" ... "32-bit float" for a sample type.
    static std::string sampleTypeName(int bits, bool floating);

    // "8", "16", "24", "32" or "float"; false for anything else.
    static bool parseSampleType(const std::string& text, int& bits, bool& floating);
    // "wav", "wave", "flac", "aif", "aiff" or "aifc", in any case; false
    // for anything else.
    static bool parseContainer(const std::string& name, Container& container);
    // The container a file name's extension names; false when it names none.
    static bool containerOfFileName(const std::string& fileName, Container& container);

    void setDefaults();

    Container container = Wave;
    bool floating = false;   // 32-bit IEEE float samples
    bool extensible = false; // a WAVE_FORMAT_EXTENSIBLE header
    // libsndfile's format word of the file read; 0 for a file to be written.
    int sndFileFormat = 0;
};

} // namespace sonabel
