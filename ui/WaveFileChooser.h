#pragma once
// The "..." buttons beside the file name boxes of the file panels (1007 for
// the file source, 1010 for the recording file): the standard file dialog
// for sound files to play (WAVE, FLAC, AIFF) and WAVE files to record. Choosing a file puts its path in the box and commits it as
// Enter in the box does; cancelling changes nothing.

#include <QString>

class QLineEdit;
class QWidget;

namespace sonabel {

class WaveFileChooser {
public:
    // Asks for a file to read (forWriting false) or to write, starting at the
    // box's current path; true when a file was chosen and committed.
    static bool choose(QLineEdit* box, bool forWriting, QWidget* parent);
    // Puts path into the box and sends the box an Enter key press, so the
    // panel's own Enter handling commits it.
    static void commit(QLineEdit* box, const QString& path);
};

} // namespace sonabel
