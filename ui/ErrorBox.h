#pragma once
// The message boxes of the program: the error hook of the log shows every
// level-1 error in a box, whatever thread reported it.
//
// The hook never shows a box itself: it posts the line to the one ErrorBox
// object, which lives on the interface thread, and returns at once. A ticker
// thread therefore never waits for a user, and the interface thread never
// runs a nested event loop while it may hold an engine lock. At most one box
// is open per text; repeats while it is open are counted in that box.

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QMessageBox;
class QWidget;

namespace sonabel {

class ErrorBox : public QObject {
    Q_OBJECT
public:
    // Interface thread, after the QApplication exists: makes the object and
    // sets the log's error hook. Installing twice does nothing.
    static void install();
    // Interface thread, once no other thread can log any more.
    static void uninstall();
    static ErrorBox* instance();

    // The log's error hook: any thread.
    static void post(const char* line);
    // The program's text on stderr, and in a box when the box can be shown.
    static void showSystemError(const QString& text);

    // The window the boxes belong to (null: none).
    void setOwner(QWidget* window);
    // The boxes open now, for one text or in all.
    int openBoxCount() const;
    int openBoxCount(const QString& text) const;
    // How often the text came while its box was open, after the first time.
    int repeatCount(const QString& text) const;

protected:
    bool event(QEvent* event) override;

private:
    ErrorBox() = default;
    void show(const QString& text);

    QPointer<QWidget> owner;
    QHash<QString, QPointer<QMessageBox>> boxes;
    QHash<QString, int> repeats;
};

} // namespace sonabel
