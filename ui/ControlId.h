#pragma once
// Controls keep the numeric ids of the window layouts as their object names,
// so the code and the tests find a control by its id ("1039").

#include <QString>
#include <QWidget>

namespace sonabel {

inline void setControlId(QWidget* control, int id) { control->setObjectName(QString::number(id)); }

inline int controlId(const QWidget* control) {
    bool ok = false;
    const int id = control->objectName().toInt(&ok);
    return ok ? id : -1;
}

// The child of window with the given id, or null.
template <class T = QWidget> T* findControl(const QWidget* window, int id) {
    return window->findChild<T*>(QString::number(id));
}

} // namespace sonabel
