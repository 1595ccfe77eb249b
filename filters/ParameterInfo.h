#pragma once
// How one filter parameter is shown: an integer from min to max (min is 0
// everywhere) and the control that edits it. One static record per
// parameter; callers never free it.

#include <cstdint>

namespace sonabel {

enum ParameterType : int32_t {
    PARAM_SLIDER = 0,   // trackbar over min..max
    PARAM_CHOICE = 1,   // drop-down list, one entry per value, each its value text
    PARAM_CHECKBOX = 2, // 1 ticked, 0 not
    PARAM_DISPLAY = 4,  // no control: a read-only measured text (min = max = 0)
};

struct ParameterInfo {
    const char* name; // the label, or a check box's own text
    int32_t min;
    int32_t max;      // inclusive
    ParameterType type;
};

} // namespace sonabel
