#pragma once
// The help window: the quick-start text in an editable text box (1057) that
// fills the window at any size. Owned by the main window, which keeps at
// most one; closing it (Esc or the close box) destroys it, so the next one
// starts with the fixed text again.

#include <QDialog>

class QPlainTextEdit;

namespace sonabel {

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    // Placed 50 pixels right of and below the main window's corner, as wide
    // as the main window less 50 and as high.
    explicit HelpWindow(QWidget* mainWindow);

    // The help text, each line ended by a carriage return and line feed.
    static QString helpText();
    QPlainTextEdit* textBox() const { return text; }
    // No text selected, so nothing shows highlighted.
    void clearSelection();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPlainTextEdit* text;
};

} // namespace sonabel
