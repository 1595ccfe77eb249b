#include "wavelet/WaveletCoeffs.h"

#include "core/Log.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>

namespace sonabel {

namespace {
// Room for the pointers of every level an int-sized chunk can have, so that
// registering levels never allocates on the audio thread.
constexpr int reservedLevels = 32;
} // namespace

WaveletCoeffs::WaveletCoeffs() {
    detailPointers.reserve(reservedLevels);
    detailCounts.reserve(reservedLevels);
    prepare(0, 0);
}

int WaveletCoeffs::storeCapacity(int N, int L) {
    if (N <= 0) return 0;
    // round(log2 N) without floating point (this runs for every chunk):
    // floor(log2 N), plus one where N >= 2^(k + 1/2), that is N^2 >= 2^(2k + 1).
    int k = 0;
    while ((N >> (k + 1)) != 0) ++k;
    const unsigned long long square = static_cast<unsigned long long>(N) * static_cast<unsigned long long>(N);
    const int rounded = k + (square >= (1ull << (2 * k + 1)) ? 1 : 0);
    // For N = 1 the formula goes below N; the store always holds the samples.
    return std::max(N, N + 2 * L * (rounded - 1));
}

void WaveletCoeffs::prepare(int N, int L) {
    signalLength = N;
    if (N > 0 && (N != preparedLength || L != preparedFilterLength)) {
        const size_t wanted = static_cast<size_t>(storeCapacity(N, L) + room);
        if (store.size() < wanted) {
            std::vector<float> fresh(wanted);
            store.swap(fresh);
        }
        preparedLength = N;
        preparedFilterLength = L;
    }
    detailPointers.clear();
    detailCounts.clear();
    approximations = nullptr;
    approximationCount = 0;
    wrapOrder = nullptr;
    wrapCount = 0;
}

void WaveletCoeffs::addDetails(float* details, int count) {
    detailPointers.push_back(details);
    detailCounts.push_back(count);
}

void WaveletCoeffs::setApproximations(float* values, int count) {
    approximations = values;
    approximationCount = count;
}

bool WaveletCoeffs::hasRoomAfter(const float* p, int count) const {
    const float* begin = store.data();
    const float* end = begin + store.size();
    return p != nullptr && count >= 0 && std::less_equal<const float*>()(begin, p) &&
           std::less_equal<const float*>()(p, end) && end - p >= static_cast<std::ptrdiff_t>(count) + room;
}

float* WaveletCoeffs::getDetails(int level, int& count) {
    if (level < 0 || level >= getLevelCount()) {
        logError(2, "WaveletCoeffs::getDetails(%d, count): out of range.", level);
        count = 0;
        return nullptr;
    }
    count = detailCounts[static_cast<size_t>(level)];
    return detailPointers[static_cast<size_t>(level)];
}

float* WaveletCoeffs::getApproximations(int& count) {
    count = approximationCount;
    return approximations;
}

float* WaveletCoeffs::getCore(int level, int& count) {
    const int J = getLevelCount();
    float* values;
    int size;
    int shift;
    if (level < 0 || level == J) {
        values = approximations;
        size = approximationCount;
        shift = J;
    } else if (level < J) {
        values = detailPointers[static_cast<size_t>(level)];
        size = detailCounts[static_cast<size_t>(level)];
        shift = level + 1;
    } else {
        count = 0;
        return nullptr;
    }
    const int h = shift < 31 ? signalLength >> shift : 0;
    if (size <= h) {
        count = size;
        return values;
    }
    count = h;
    return values + ((size - h) >> 1);
}

void WaveletCoeffs::copyCoeffs(const WaveletCoeffs& other) {
    signalLength = other.signalLength;
    if (store.size() < other.store.size()) {
        std::vector<float> fresh(other.store.size());
        store.swap(fresh);
    }
    std::copy(other.store.begin(), other.store.end(), store.begin());
    const float* base = other.store.data();
    float* mine = store.data();
    auto rebase = [&](const float* p) { return p ? mine + (p - base) : nullptr; };
    detailPointers.clear();
    detailCounts.clear();
    for (size_t i = 0; i < other.detailPointers.size(); ++i) {
        detailPointers.push_back(rebase(other.detailPointers[i]));
        detailCounts.push_back(other.detailCounts[i]);
    }
    approximations = rebase(other.approximations);
    approximationCount = other.approximationCount;
    wrapOrder = rebase(other.wrapOrder);
    wrapCount = other.wrapCount;
    waveletIndex = other.waveletIndex;
    algorithmIndex = other.algorithmIndex;
}

} // namespace sonabel
