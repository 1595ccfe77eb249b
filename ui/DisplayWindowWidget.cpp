#include "ui/DisplayWindowWidget.h"

#include "core/Log.h"
#include "filters/DisplayClient.h"
#include "ui/DialogUnits.h"
#include "ui/ImageSurface.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>

namespace sonabel {

namespace {

// Posted to the window: draw the picture (a request), or show the one drawn.
const QEvent::Type drawRequest = static_cast<QEvent::Type>(QEvent::User + 110);
const QEvent::Type pictureReady = static_cast<QEvent::Type>(QEvent::User + 111);

} // namespace

DisplayWindowWidget::DisplayWindowWidget(DisplayClient* displayClient, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), client(displayClient) {
    setWindowTitle(caption);
    setAttribute(Qt::WA_OpaquePaintEvent);
    const DialogUnits units;
    resize(units.size(186, 94));
}

DisplayWindowWidget::~DisplayWindowWidget() = default;

void DisplayWindowWidget::detach() { client = nullptr; }

void DisplayWindowWidget::redrawNow() {
    std::unique_lock<std::mutex> guard(imageLock, std::try_to_lock);
    if (!guard.owns_lock()) {
        requestRedraw();
        return;
    }
    if (client && !image.isNull()) {
        ImageSurface surface(image);
        client->paintWindow(surface, image.width(), image.height());
    }
    guard.unlock();
    QCoreApplication::postEvent(this, new QEvent(pictureReady));
}

void DisplayWindowWidget::requestRedraw() {
    if (!drawPending.exchange(true)) QCoreApplication::postEvent(this, new QEvent(drawRequest));
}

void DisplayWindowWidget::drawPicture() {
    {
        std::lock_guard<std::mutex> guard(imageLock);
        if (!client || image.isNull()) return;
        ImageSurface surface(image);
        client->paintWindow(surface, image.width(), image.height());
    }
    update();
}

bool DisplayWindowWidget::event(QEvent* e) {
    if (e->type() == drawRequest) {
        drawPending = false;
        drawPicture();
        return true;
    }
    if (e->type() == pictureReady) {
        update();
        return true;
    }
    return QWidget::event(e);
}

void DisplayWindowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard<std::mutex> guard(imageLock);
    if (image.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(0, 0, image);
}

void DisplayWindowWidget::resizeEvent(QResizeEvent*) {
    {
        std::lock_guard<std::mutex> guard(imageLock);
        image = QImage(size(), QImage::Format_RGB32);
        image.fill(Qt::black);
    }
    if (client) client->windowResized(width(), height());
    // The new image is blank until drawn; do not wait for the next chunk.
    requestRedraw();
}

void DisplayWindowWidget::closeEvent(QCloseEvent* e) {
    // The filter decides: it destroys the window through the host and turns
    // "Show window" off.
    e->ignore();
    if (client) client->windowCloseRequested();
}

void DisplayWindowWidget::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* save = menu.addAction(QStringLiteral("Save picture..."));
    if (menu.exec(e->globalPos()) != save) return;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save picture"), QString(),
                                                      QStringLiteral("PNG pictures (*.png)"));
    if (!path.isEmpty()) savePicture(path);
}

QImage DisplayWindowWidget::picture() {
    std::lock_guard<std::mutex> guard(imageLock);
    return image.copy();
}

bool DisplayWindowWidget::savePicture(const QString& path) {
    const QImage copy = picture();
    if (copy.isNull() || !copy.save(path, "PNG")) {
        logError(1, "DisplayWindowWidget::savePicture: could not write \"%s\".", path.toLocal8Bit().constData());
        return false;
    }
    return true;
}

} // namespace sonabel
