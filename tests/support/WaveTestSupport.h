#pragma once
// Helpers of the WAVE tests: a fixture that runs each test in its own empty
// directory (where "log.txt" lands too), byte builders for hand-made files,
// and a way to ask the outside tools (sox, soxi, Python's wave module).

#include "core/Log.h"
#include "core/SampleBuffer.h"
#include "io/WaveFileReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace sonabel::test {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

class WaveDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = fs::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir = fs::temp_directory_path() / ("sonabel-wave-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
        resetLogFile();
    }
    void TearDown() override {
        resetLogFile();
        fs::current_path(previous);
        if (!HasFailure()) fs::remove_all(dir);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    fs::path previous, dir;
};

// Little-endian byte builder: Wav().tag("RIFF").u32(36)...
struct Wav {
    Bytes b;
    Wav& tag(const char* t) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
        return *this;
    }
    Wav& u16(uint32_t v) {
        b.push_back(static_cast<uint8_t>(v & 0xff));
        b.push_back(static_cast<uint8_t>((v >> 8) & 0xff));
        return *this;
    }
    Wav& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xff));
        return *this;
    }
    Wav& raw(const Bytes& more) {
        b.insert(b.end(), more.begin(), more.end());
        return *this;
    }
    Wav& fill(size_t n, uint8_t v) {
        b.insert(b.end(), n, v);
        return *this;
    }
    // A "fmt " chunk of the given body size (16 and up: the rest is zeros).
    Wav& fmt(int channels, uint32_t rate, int bits, uint32_t size = 16) {
        tag("fmt ").u32(size).u16(1).u16(static_cast<uint32_t>(channels)).u32(rate);
        // As a broken writer would store them: cut to the field widths.
        const uint64_t align = static_cast<uint64_t>(channels) * static_cast<uint64_t>(bits) / 8;
        u32(static_cast<uint32_t>(align * rate)).u16(static_cast<uint32_t>(align)).u16(static_cast<uint32_t>(bits));
        if (size > 16) fill(size - 16, 0);
        if (size & 1) fill(1, 0);
        return *this;
    }
    Wav& riff() { return tag("RIFF").u32(0).tag("WAVE"); }
    Wav& data(const Bytes& body, bool pad = true) {
        tag("data").u32(static_cast<uint32_t>(body.size())).raw(body);
        if (pad && (body.size() & 1)) fill(1, 0);
        return *this;
    }
    // Fills in the RIFF size once the file is complete.
    Bytes done() {
        Bytes out = b;
        if (out.size() >= 8) {
            const uint32_t n = static_cast<uint32_t>(out.size() - 8);
            for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>((n >> (8 * i)) & 0xff);
        }
        return out;
    }
};

inline void writeFile(const std::string& name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The system calls this process has made so far: "syscr" for reads,
// "syscw" for writes (Linux's /proc/self/io); -1 where that is not known.
inline long systemCalls(const std::string& which) {
    std::ifstream io("/proc/self/io");
    std::string key;
    long count = 0;
    while (io >> key >> count)
        if (key == which + ":") return count;
    return -1;
}

inline uint32_t le32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

inline uint16_t le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

// Standard output of a shell command (binary-safe); exit status in *status.
inline std::string run(const std::string& command, int* status = nullptr) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, p)) > 0;) out.append(chunk, n);
        const int rc = ::pclose(p);
        if (status) *status = rc;
    } else if (status) {
        *status = -1;
    }
    return out;
}

inline std::string trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// The Debian Python, which has the standard library's wave module.
inline const char* python() { return "/usr/bin/python3"; }

// What Python's wave module sees: "channels bytes-per-sample rate frames"
// and the frames as hex.
struct PythonWave {
    std::string header;
    std::string hexFrames;
    int status = -1;
};
inline PythonWave readWithPython(const std::string& file) {
    const std::string script = "import sys, wave\n"
                               "w = wave.open(sys.argv[1], 'rb')\n"
                               "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())\n"
                               "print(w.readframes(w.getnframes()).hex())\n";
    writeFile("read_wave.py", Bytes(script.begin(), script.end()));
    PythonWave r;
    std::string out = run(std::string(python()) + " read_wave.py '" + file + "' 2>&1", &r.status);
    const size_t nl = out.find('\n');
    r.header = out.substr(0, nl);
    r.hexFrames = nl == std::string::npos ? "" : trim(out.substr(nl + 1));
    return r;
}

inline std::string hex(const Bytes& b) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t v : b) {
        s.push_back(digits[v >> 4]);
        s.push_back(digits[v & 15]);
    }
    return s;
}

// Every frame of a file through our reader, in chunks of `chunk` frames:
// one vector per channel.
inline std::vector<std::vector<float>> readAllFrames(WaveFileReader& reader, int chunk = 1024) {
    const int channels = reader.getFileFormat()->channels;
    std::vector<std::vector<float>> out(static_cast<size_t>(channels));
    SampleBuffer buffer(channels, chunk);
    int32_t pos = 0;
    while (reader.available(chunk) > 0) {
        const int32_t got = reader.read(buffer, pos, 0.0f);
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(c)].insert(out[static_cast<size_t>(c)].end(), buffer.getBuffer(c),
                                               buffer.getBuffer(c) + got);
        pos += chunk;
        if (got <= 0) break;
    }
    return out;
}

} // namespace sonabel::test
