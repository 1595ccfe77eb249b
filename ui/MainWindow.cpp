#include "ui/MainWindow.h"

#include "core/Log.h"
#include "ui/Application.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/FileInfo.h"
#include "ui/FileReaderInfo.h"
#include "ui/HelpWindow.h"
#include "ui/PostedEvents.h"
#include "ui/StreamInfo.h"
#include "ui/WaveFileChooser.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <tuple>

namespace sonabel {

namespace {

QString& backgroundResource() {
    static QString path = QStringLiteral(":/images/background.png");
    return path;
}

// Panel indices, as the application keeps them.
constexpr int soundcardInput = 0, soundcardOutput = 1, fileInput = 2, fileOutput = 3;

} // namespace

void MainWindow::setBackgroundResource(const QString& path) { backgroundResource() = path; }

MainWindow::MainWindow(Application& app) : QWidget(nullptr, Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint), application(app) {
    setObjectName(QStringLiteral("MAINDLG"));
    setWindowTitle(QStringLiteral("Sonabel"));
    setWindowIcon(QIcon(QStringLiteral(":/images/sonabel.png")));
    buildControls();
    loadBackground();
    application.createPanels(this);
    connectPanels();
}

MainWindow::~MainWindow() {
    if (helpWindow) delete helpWindow.data();
}

void MainWindow::buildControls() {
    const DialogUnits du;
    setFixedSize(du.size(404, 146));

    auto place = [&](QWidget* control, int id, int x, int y, int w, int h) {
        if (id) setControlId(control, id);
        control->setGeometry(du.rect(x, y, w, h));
        return control;
    };
    auto button = [&](const char* text, int id, int x, int y, int w, int h) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setAutoDefault(false);
        place(b, id, x, y, w, h);
        return b;
    };
    auto check = [&](const char* text, int id, int x, int y, int w, int h) {
        place(new QCheckBox(QString::fromLatin1(text), this), id, x, y, w, h);
    };
    auto label = [&](const char* text, int id, int x, int y, int w, int h) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        place(l, id, x, y, w, h);
        // A caption measured for the classic font may be too narrow for
        // today's: it grows to the right rather than losing its last letter.
        const int needed = l->fontMetrics().horizontalAdvance(l->text()) + 2;
        if (needed > l->width()) l->resize(needed, l->height());
        return l;
    };
    auto slider = [&](int id, int x, int y, int w, int h) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setTracking(true);
        place(s, id, x, y, w, h);
        return s;
    };
    auto edit = [&](int id, int x, int y, int w, int h) { place(new QLineEdit(this), id, x, y, w, h); };

    // The frames first, so the controls lie above them.
    place(new QGroupBox(this), 1048, 5, 10, 120, 40);
    place(new QGroupBox(this), 1051, 275, 10, 120, 40);
    place(new QGroupBox(this), 1049, 5, 85, 120, 50);
    place(new QGroupBox(this), 1052, 275, 85, 120, 50);
    place(new QGroupBox(QStringLiteral("Filters"), this), 1050, 150, 25, 100, 94);

    // Soundcard input.
    check("Soundcard input", 1001, 10, 18, 75, 10);
    button("Settings", 1021, 86, 17, 35, 11);
    label("", 1019, 10, 29, 110, 8);
    label("Vol", 0, 10, 39, 14, 8);
    slider(1027, 24, 38, 96, 10);

    // Soundcard output; its volume slider has no function.
    check("Soundcard output", 1002, 280, 18, 75, 10);
    button("Settings", 1022, 356, 17, 35, 11);
    label("", 1020, 280, 29, 110, 8);
    label("Vol", 0, 280, 39, 14, 8)->hide();
    slider(1029, 294, 38, 96, 10)->hide();

    // File input.
    check("File input", 1005, 10, 93, 50, 10);
    check("Loop", 1038, 64, 93, 30, 10);
    button("...", 1007, 104, 93, 16, 10);
    edit(1006, 10, 104, 110, 12);
    label("", 1025, 10, 117, 110, 8);
    label("Vol", 0, 10, 126, 14, 8);
    slider(1028, 24, 125, 96, 9);

    // File output.
    check("File output", 1008, 280, 93, 55, 10);
    button("...", 1010, 374, 93, 16, 10);
    edit(1009, 280, 104, 110, 12);
    label("", 1026, 280, 117, 110, 8);

    // The filter box: placed here, driven by the filter list controller.
    auto* list = new QListWidget(this);
    place(list, 1039, 155, 50, 90, 65);
    button("Add", 1040, 155, 36, 23, 9);
    button("Del", 1041, 181, 36, 23, 9);
    button("Setup", 1042, 207, 36, 25, 9);
    auto* move = new QSpinBox(this);
    move->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    move->setWrapping(true);
    place(move, 1055, 235, 36, 11, 10);
    label("move", 0, 231, 25, 18, 8);
    label("Filters", 1053, 155, 26, 19, 8)->hide();

    button("Show help", 1058, 180, 5, 40, 10);
    button("Close", 8, 327, 57, 50, 14)->hide();
}

void MainWindow::connectPanels() {
    auto panel = [this](int index) { return application.getPanel(index); };
    for (int index = 0; index < 4; ++index) {
        static const int checkIds[] = {1001, 1002, 1005, 1008};
        if (auto* box = findControl<QCheckBox>(this, checkIds[index]))
            connect(box, &QCheckBox::clicked, this, [panel, index] {
                if (StreamInfo* p = panel(index)) p->toggle();
            });
    }
    connect(findControl<QPushButton>(this, 1021), &QPushButton::clicked, this, [panel] {
        if (StreamInfo* p = panel(soundcardInput)) p->showSetup();
    });
    connect(findControl<QPushButton>(this, 1022), &QPushButton::clicked, this, [panel] {
        if (StreamInfo* p = panel(soundcardOutput)) p->showSetup();
    });
    connect(findControl<QSlider>(this, 1027), &QSlider::valueChanged, this, [panel] {
        if (StreamInfo* p = panel(soundcardInput)) p->volumeChanged();
    });
    connect(findControl<QSlider>(this, 1028), &QSlider::valueChanged, this, [panel] {
        if (StreamInfo* p = panel(fileInput)) p->volumeChanged();
    });
    connect(findControl<QCheckBox>(this, 1038), &QCheckBox::clicked, this, [this] {
        if (auto* p = application.getFileReaderInfo()) p->applyLoop();
    });
    for (int id : {1006, 1009}) {
        auto* nameEdit = findControl<QLineEdit>(this, id);
        nameEdit->installEventFilter(this);
        connect(nameEdit, &QLineEdit::returnPressed, this, &MainWindow::commitEditedFileName);
    }
    // "..." beside each name box: the file dialog, committed as Enter in the box.
    for (const auto& [buttonId, editId, forWriting] : {std::tuple{1007, 1006, false}, std::tuple{1010, 1009, true}}) {
        auto* nameEdit = findControl<QLineEdit>(this, editId);
        connect(findControl<QPushButton>(this, buttonId), &QPushButton::clicked, this,
                [this, nameEdit, forWriting] { WaveFileChooser::choose(nameEdit, forWriting, this); });
    }
    connect(findControl<QPushButton>(this, 1058), &QPushButton::clicked, this, &MainWindow::showHelp);
    connect(findControl<QPushButton>(this, 8), &QPushButton::clicked, this, &QWidget::close);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        const int index = watched->objectName() == QLatin1String("1006") ? fileInput : fileOutput;
        if (auto* p = static_cast<FileInfo*>(application.getPanel(index))) {
            if (event->type() == QEvent::FocusIn) {
                p->setEditing(true);
            } else {
                p->commitFileName();
                p->setEditing(false);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::commitEditedFileName() {
    for (int index : {fileInput, fileOutput}) {
        auto* p = static_cast<FileInfo*>(application.getPanel(index));
        if (p && p->isEditing()) {
            p->commitFileName();
            return;
        }
    }
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == MSG_SET_TEXT) {
        const auto* setText = static_cast<SetTextEvent*>(event);
        QWidget* control = findControl(this, setText->controlId);
        if (auto* l = qobject_cast<QLabel*>(control))
            l->setText(setText->text);
        else if (auto* b = qobject_cast<QAbstractButton*>(control))
            b->setText(setText->text);
        else if (auto* e = qobject_cast<QLineEdit*>(control))
            e->setText(setText->text);
        return true;
    }
    return QWidget::event(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closing) {
        closing = true;
        if (helpWindow) helpWindow->close();
        backgroundEnabled = false;
        freeBackground();
        application.mainWindowClosed();
    }
    event->accept();
}

void MainWindow::loadBackground() {
    background = QPixmap(backgroundResource());
    if (background.isNull()) {
        logError(1, "Background image could not be loaded from resources.");
        backgroundEnabled = false;
        freeBackground();
        return;
    }
    for (int id = 1048; id <= 1052; ++id)
        if (QWidget* frame = findControl(this, id)) frame->hide();
    if (QWidget* caption = findControl(this, 1053)) caption->show();
}

void MainWindow::freeBackground() { background = QPixmap(); }

void MainWindow::paintEvent(QPaintEvent* event) {
    if (!backgroundEnabled || background.isNull()) {
        QWidget::paintEvent(event);
        return;
    }
    // The picture was drawn for the layout at the classic font; it follows
    // the layout's dialog units at any other.
    QPainter painter(this);
    if (!painter.isActive()) {
        logError(4, "Error drawing bacjground image.");
        QWidget::paintEvent(event);
        return;
    }
    painter.drawPixmap(rect(), background);
}

void MainWindow::showHelp() {
    if (!helpWindow) helpWindow = new HelpWindow(this);
    helpWindow->show();
    helpWindow->raise();
    helpWindow->activateWindow();
    helpWindow->clearSelection();
}

} // namespace sonabel
