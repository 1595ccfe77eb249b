#include "core/FourCC.h"

namespace sonabel {

FourCC::Text FourCC::toText() const {
    Text t{};
    for (int i = 0; i < 4; ++i) t.chars[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    t.chars[4] = 0;
    return t;
}

} // namespace sonabel
