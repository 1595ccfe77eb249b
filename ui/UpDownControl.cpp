#include "ui/UpDownControl.h"

#include <QToolButton>

namespace sonabel {

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent), up(new QToolButton(this)), down(new QToolButton(this)) {
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    up->setAutoRepeat(true);
    down->setAutoRepeat(true);
    up->setFocusPolicy(Qt::NoFocus);
    down->setFocusPolicy(Qt::NoFocus);
    connect(up, &QToolButton::clicked, this, [this] { step(-1); });
    connect(down, &QToolButton::clicked, this, [this] { step(+1); });
}

void UpDownControl::setPosition(int p) { pos = p < lowest ? lowest : (p > highest ? highest : p); }

void UpDownControl::step(int by) {
    int p = pos + by;
    if (p < lowest) p = highest;
    if (p > highest) p = lowest;
    pos = p;
    emit positionChanged(pos);
}

int UpDownControl::moveDirection(int last, int now) {
    const int diff = last - now;
    if ((diff >= 0 && diff <= 10) || diff <= -10) return -1;
    return +1;
}

void UpDownControl::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up->setGeometry(0, 0, width(), half);
    down->setGeometry(0, half, width(), height() - half);
}

} // namespace sonabel
