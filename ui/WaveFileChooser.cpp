#include "ui/WaveFileChooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>

namespace sonabel {

bool WaveFileChooser::choose(QLineEdit* box, bool forWriting, QWidget* parent) {
    if (!box) return false;
    // The file input plays whatever the file readers read; a recording is WAVE.
    const QString filter = forWriting ? QStringLiteral("WAVE files (*.wav *.wave);;All files (*)")
                                      : QStringLiteral("Sound files (*.wav *.wave *.flac *.aif *.aiff *.aifc);;"
                                                       "WAVE files (*.wav *.wave);;All files (*)");
    const QString start = box->text();
    const QString path = forWriting
                             ? QFileDialog::getSaveFileName(parent, QStringLiteral("Record to WAVE file"), start, filter)
                             : QFileDialog::getOpenFileName(parent, QStringLiteral("Play WAVE file"), start, filter);
    if (path.isEmpty()) return false;
    commit(box, path);
    return true;
}

void WaveFileChooser::commit(QLineEdit* box, const QString& path) {
    box->setText(path);
    // The panel commits what is being edited: the box takes the focus as
    // if the user had clicked into it, then Enter follows.
    box->setFocus(Qt::OtherFocusReason);
    if (!box->hasFocus()) {
        QFocusEvent focus(QEvent::FocusIn, Qt::OtherFocusReason);
        QApplication::sendEvent(box, &focus);
    }
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &release);
}

} // namespace sonabel
