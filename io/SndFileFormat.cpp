#include "io/SndFileFormat.h"

#include "io/SndFileLibrary.h"

#include <algorithm>
#include <cctype>

namespace sonabel {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// libsndfile's name of a major format ("CAF (Apple Core Audio File)"), cut
// before the parenthesis.
std::string majorName(int major) {
    SndFileLibrary& sndfile = SndFileLibrary::instance();
    SF_FORMAT_INFO info{};
    info.format = major;
    if (!sndfile.isLoaded() || sndfile.command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name)
        return "another format";
    std::string name = info.name;
    const size_t open = name.find(" (");
    return open == std::string::npos ? name : name.substr(0, open);
}

} // namespace

FourCC SndFileFormat::getFileType() const {
    switch (container) {
    case Wave: return FOURCC_WAVE;
    case Flac: return FOURCC_FLAC;
    case Aiff: return FOURCC_AIFF;
    default: return ENCODING_NONE;
    }
}

const char* SndFileFormat::getExtension() const {
    switch (container) {
    case Wave: return "wav";
    case Flac: return "flac";
    case Aiff: return "aiff";
    default: return "";
    }
}

bool SndFileFormat::canHold() const {
    if (floating) return bitsPerSample == 32 && (container == Wave || container == Aiff);
    if (bitsPerSample != 8 && bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32) return false;
    if (container == Flac) return bitsPerSample <= 24;
    return container == Wave || container == Aiff;
}

int SndFileFormat::toSndFile() const {
    if (!canHold()) return 0;
    int major = SF_FORMAT_WAV;
    if (container == Flac) major = SF_FORMAT_FLAC;
    if (container == Aiff) major = SF_FORMAT_AIFF;
    // Windows wants the extensible header beyond 2 channels or 16 bits of
    // PCM; float has a tag of its own.
    if (container == Wave && (channels > 2 || (bitsPerSample > 16 && !floating))) major = SF_FORMAT_WAVEX;
    int subtype = SF_FORMAT_FLOAT;
    if (!floating) {
        switch (bitsPerSample) {
        case 8: subtype = container == Wave ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8; break;
        case 16: subtype = SF_FORMAT_PCM_16; break;
        case 24: subtype = SF_FORMAT_PCM_24; break;
        default: subtype = SF_FORMAT_PCM_32; break;
        }
    }
    return major | subtype;
}

void SndFileFormat::fromSndFile(int word) {
    sndFileFormat = word;
    const int major = word & SF_FORMAT_TYPEMASK;
    extensible = major == SF_FORMAT_WAVEX;
    switch (major) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX: container = Wave; break;
    case SF_FORMAT_FLAC: container = Flac; break;
    case SF_FORMAT_AIFF: container = Aiff; break;
    default: container = Other; break;
    }
    floating = false;
    switch (word & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: bitsPerSample = 8; break;
    case SF_FORMAT_PCM_16: bitsPerSample = 16; break;
    case SF_FORMAT_PCM_24: bitsPerSample = 24; break;
    case SF_FORMAT_PCM_32: bitsPerSample = 32; break;
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
        bitsPerSample = 32;
        floating = true;
        break;
    // Compressed samples: as many bits as they decode to, 16 for the
    // telephone and ADPCM codecs.
    case SF_FORMAT_DWVW_24:
    case SF_FORMAT_ALAC_20:
    case SF_FORMAT_ALAC_24: bitsPerSample = 24; break;
    case SF_FORMAT_ALAC_32: bitsPerSample = 32; break;
    default: bitsPerSample = 16; break;
    }
}

std::string SndFileFormat::sampleTypeName(int bits, bool isFloat) {
    return std::to_string(bits) + (isFloat ? "-bit float" : "-bit PCM");
}

std::string SndFileFormat::describe() const {
    std::string samples = sampleTypeName(bitsPerSample, floating);
    if (sndFileFormat) {
        // What the file really holds, where reading converts it.
        const int subtype = sndFileFormat & SF_FORMAT_SUBMASK;
        if (subtype == SF_FORMAT_DOUBLE) {
            samples = "64-bit float";
        } else if (subtype < SF_FORMAT_PCM_S8 || subtype > SF_FORMAT_DOUBLE) {
            SndFileLibrary& sndfile = SndFileLibrary::instance();
            SF_FORMAT_INFO info{};
            info.format = subtype;
            samples = sndfile.isLoaded() &&
                              sndfile.command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name
                          ? info.name
                          : "samples of another kind";
        }
    }
    switch (container) {
    case Wave: return extensible ? "extensible WAVE, " + samples : samples;
    case Flac: return "FLAC, " + samples;
    case Aiff: return "AIFF, " + samples;
    default: return majorName(sndFileFormat & SF_FORMAT_TYPEMASK) + ", " + samples;
    }
}

bool SndFileFormat::parseSampleType(const std::string& text, int& bits, bool& isFloat) {
    if (text == "float") {
        bits = 32;
        isFloat = true;
        return true;
    }
    for (int b : {8, 16, 24, 32}) {
        if (text == std::to_string(b)) {
            bits = b;
            isFloat = false;
            return true;
        }
    }
    return false;
}

bool SndFileFormat::parseContainer(const std::string& name, Container& result) {
    const std::string n = lower(name);
    if (n == "wav" || n == "wave") {
        result = Wave;
    } else if (n == "flac") {
        result = Flac;
    } else if (n == "aif" || n == "aiff" || n == "aifc") {
        result = Aiff;
    } else {
        return false;
    }
    return true;
}

bool SndFileFormat::containerOfFileName(const std::string& fileName, Container& result) {
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    return parseContainer(fileName.substr(dot + 1), result);
}

void SndFileFormat::setDefaults() {
    WaveFileFormat::setDefaults();
    container = Wave;
    floating = false;
    extensible = false;
    sndFileFormat = 0;
}

} // namespace sonabel
