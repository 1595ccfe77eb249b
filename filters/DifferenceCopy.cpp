#include "filters/DifferenceCopy.h"

namespace sonabel {

DifferenceCopy& DifferenceCopy::shared() {
    static DifferenceCopy instance;
    return instance;
}

} // namespace sonabel
