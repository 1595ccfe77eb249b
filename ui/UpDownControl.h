#pragma once
// The "move" control of the filter box: two arrow buttons over a position
// that wraps around 0..100. The up arrow lowers the position by one and the
// down arrow raises it (the classic up-down control's default range), and
// every change is reported with the new position. moveDirection turns two
// successive positions back into the arrow that was pressed, so that a wrap
// from one end of the range to the other keeps the arrow's meaning.

#include <QWidget>

class QToolButton;

namespace sonabel {

class UpDownControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int lowest = 0;
    static constexpr int highest = 100;

    explicit UpDownControl(QWidget* parent = nullptr);

    int position() const { return pos; }
    void setPosition(int p);
    QToolButton* upButton() const { return up; }
    QToolButton* downButton() const { return down; }

    // -1 (up, towards the start of the chain) or +1 (down), from the last
    // position seen and the new one: with diff = last - now, up when
    // 0 <= diff <= 10 or diff <= -10, down when -10 < diff < 0 or diff > 10.
    static int moveDirection(int last, int now);

signals:
    void positionChanged(int position);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void step(int by);

    QToolButton* up;
    QToolButton* down;
    int pos = lowest;
};

} // namespace sonabel
