#pragma once
// The widgets of one row of a parameter window. All belong to the window.

#include "filters/ParameterInfo.h"

#include <QRect>

class QLabel;
class QWidget;

namespace sonabel {

struct ParameterControl {
    QWidget* control = nullptr;  // QSlider, QComboBox or QCheckBox; null for a display row
    QLabel* valueText = nullptr; // null for choices and check boxes
    QLabel* nameLabel = nullptr; // null for check boxes (they carry the name)
    int type = 4;                // the ParameterType; PARAM_DISPLAY until set
    QRect valueColumn;           // where the value text sits when it fits
};

} // namespace sonabel
