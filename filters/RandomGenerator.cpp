#include "filters/RandomGenerator.h"

#include <cmath>

namespace sonabel {

RandomGenerator& RandomGenerator::shared() {
    static RandomGenerator instance;
    return instance;
}

void RandomGenerator::reset() {
    state = 1;
    spareValid = false;
    gaussianSpare = 0.0f;
}

// Polar method: a point (a, b) uniform in the unit disc (without its centre)
// gives two independent normal values a f and b f, f = sqrt(-2 ln s / s),
// s = a^2 + b^2. Draws are whole numbers, so a and b are never both 0.
float RandomGenerator::nextGaussian() {
    if (spareValid) {
        spareValid = false;
        return gaussianSpare;
    }
    const float k = 1.0f / 16383.5f;
    float a, b, s;
    do {
        int r1 = next();
        int r2 = next();
        a = static_cast<float>((r1 - 16383.5) * k);
        b = static_cast<float>((r2 - 16383.5) * k);
        s = a * a + b * b;
    } while (s > 1.0f);
    double f = std::sqrt(-2.0 * std::log(static_cast<double>(s)) / s);
    gaussianSpare = static_cast<float>(a * f);
    spareValid = true;
    return static_cast<float>(b * f);
}

} // namespace sonabel
