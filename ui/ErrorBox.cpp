#include "ui/ErrorBox.h"

#include "core/Log.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace sonabel {

namespace {

// Carries one error line to the interface thread.
const QEvent::Type errorEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class ErrorEvent : public QEvent {
public:
    explicit ErrorEvent(QString line) : QEvent(errorEventType), text(std::move(line)) {}
    const QString text;
};

std::atomic<ErrorBox*> theInstance{nullptr};

} // namespace

void ErrorBox::install() {
    if (theInstance.load()) return;
    theInstance.store(new ErrorBox);
    setErrorHook(&ErrorBox::post);
}

void ErrorBox::uninstall() {
    setErrorHook(nullptr);
    ErrorBox* box = theInstance.exchange(nullptr);
    if (!box) return;
    for (const QPointer<QMessageBox>& open : std::as_const(box->boxes))
        if (open) delete open.data();
    delete box;
}

ErrorBox* ErrorBox::instance() { return theInstance.load(); }

void ErrorBox::post(const char* line) {
    ErrorBox* box = theInstance.load();
    if (!box) {
        std::fprintf(stderr, "%s\n", line);
        return;
    }
    QCoreApplication::postEvent(box, new ErrorEvent(QString::fromLocal8Bit(line)));
}

void ErrorBox::showSystemError(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (ErrorBox* box = theInstance.load(); box && QThread::currentThread() == box->thread()) box->show(text);
}

void ErrorBox::setOwner(QWidget* window) { owner = window; }

int ErrorBox::openBoxCount() const {
    int n = 0;
    for (const QPointer<QMessageBox>& open : boxes)
        if (open && open->isVisible()) ++n;
    return n;
}

int ErrorBox::openBoxCount(const QString& text) const {
    const QPointer<QMessageBox> open = boxes.value(text);
    return open && open->isVisible() ? 1 : 0;
}

int ErrorBox::repeatCount(const QString& text) const { return repeats.value(text); }

bool ErrorBox::event(QEvent* event) {
    if (event->type() != errorEventType) return QObject::event(event);
    show(static_cast<ErrorEvent*>(event)->text);
    return true;
}

void ErrorBox::show(const QString& text) {
    QPointer<QMessageBox>& open = boxes[text];
    if (open) {
        // A per-chunk error would stack a box per chunk: count it instead.
        const int n = ++repeats[text];
        open->setInformativeText(QStringLiteral("Reported %1 more times.").arg(n));
        return;
    }
    repeats.remove(text);
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Sonabel"), text,
                                QMessageBox::Ok | QMessageBox::Cancel, owner.data());
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Window-modal without a nested event loop: the caller goes on at once.
    box->open();
    open = box;
}

} // namespace sonabel
