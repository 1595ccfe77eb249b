#include "ui/FilterListInfo.h"

#include "core/PerformanceCounter.h"
#include "engine/AudioMixer.h"
#include "engine/AudioSynchronizer.h"
#include "engine/TickProvider.h"
#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"
#include "filters/FilterChainFile.h"
#include "ui/AddFilterDialog.h"
#include "ui/ControlId.h"
#include "ui/DialogUnits.h"
#include "ui/FilterInfo.h"
#include "ui/ParameterWindow.h"
#include "ui/PostedEvents.h"
#include "ui/QtDisplayHost.h"
#include "ui/UpDownControl.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <fstream>
#include <sstream>

namespace sonabel {

namespace {

FilterChainFile chainFile() { return FilterChainFile(FilterFactory{getFilterCount, createFilter}); }

// The catalogue index of a filter, found by its name; -1 if none.
int catalogueIndexOf(AudioFilter& filter) {
    const std::string name = filter.getName();
    for (int k = 0; k < getFilterCount(); ++k) {
        std::unique_ptr<AudioFilter> candidate(createFilter(k));
        if (candidate && name == candidate->getName()) return k;
    }
    return -1;
}

void showProblem(QWidget* parent, const QString& title, const QString& text) {
    // Not blocking: the sound and the window go on while the box is up.
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("chainProblem"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

FilterListInfo::FilterListInfo(AudioMixer& m, AudioSynchronizer& s, QWidget* main)
    : mixer(m), synchronizer(s), mainWindow(main), displayHost(std::make_unique<QtDisplayHost>(main)),
      counterFrequency(static_cast<float>(performanceFrequency)) {
    bind();
}

FilterListInfo::~FilterListInfo() {
    if (mixer.loadMonitor == this) mixer.loadMonitor = nullptr;
    while (!entries.empty()) deleteEntry(static_cast<int>(entries.size()) - 1);
}

void FilterListInfo::bind() {
    if (!mainWindow) return;
    list = findControl<QListWidget>(mainWindow, 1039);
    if (list) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->installEventFilter(this);
        connect(list, &QListWidget::itemDoubleClicked, this, [this] { openSelected(); });
    }
    if (auto* add = findControl<QPushButton>(mainWindow, 1040))
        connect(add, &QPushButton::clicked, this, [this] { runAddDialog(); });
    if (auto* del = findControl<QPushButton>(mainWindow, 1041))
        connect(del, &QPushButton::clicked, this, [this] { deleteSelected(); });
    if (auto* setup = findControl<QPushButton>(mainWindow, 1042))
        connect(setup, &QPushButton::clicked, this, [this] { openSelected(); });

    const DialogUnits du;
    QWidget* placeholder = findControl(mainWindow, 1055);
    mover = qobject_cast<UpDownControl*>(placeholder);
    if (!mover) {
        QWidget* parent = placeholder ? placeholder->parentWidget() : mainWindow.data();
        mover = new UpDownControl(parent);
        mover->setGeometry(placeholder ? placeholder->geometry() : du.rect(235, 36, 11, 10));
        if (placeholder) {
            placeholder->setObjectName(QString());
            placeholder->hide();
            placeholder->deleteLater();
        }
        setControlId(mover, 1055);
        mover->show();
    }
    connect(mover, &UpDownControl::positionChanged, this, &FilterListInfo::moveByControl);

    // Under the filter box, in the main window's own coordinates.
    QWidget* parent = list ? list->parentWidget() : mainWindow.data();
    auto* save = new QPushButton(QStringLiteral("Save chain..."), parent);
    save->setObjectName(QStringLiteral("saveChain"));
    save->setGeometry(du.rect(150, 121, 49, 11));
    auto* load = new QPushButton(QStringLiteral("Load chain..."), parent);
    load->setObjectName(QStringLiteral("loadChain"));
    load->setGeometry(du.rect(201, 121, 49, 11));
    save->show();
    load->show();
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(mainWindow, QStringLiteral("Save chain"), QString(),
                                                          QStringLiteral("Filter chains (*.chain);;All files (*)"));
        if (!path.isEmpty()) saveChain(path);
    });
    connect(load, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(mainWindow, QStringLiteral("Load chain"), QString(),
                                                          QStringLiteral("Filter chains (*.chain);;All files (*)"));
        if (!path.isEmpty()) loadChain(path);
    });
}

void FilterListInfo::reportLoad(AudioMixer*) { QCoreApplication::postEvent(this, new QEvent(MSG_SHOW_LOAD)); }

bool FilterListInfo::event(QEvent* e) {
    if (e->type() == MSG_SHOW_LOAD) {
        showLoad();
        return true;
    }
    return QObject::event(e);
}

bool FilterListInfo::eventFilter(QObject* watched, QEvent* e) {
    if (watched == list && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        const bool control = key->modifiers() & Qt::ControlModifier;
        const int k = key->key();
        if (k == Qt::Key_Delete) {
            deleteSelected();
            return true;
        }
        if (k == Qt::Key_Return || k == Qt::Key_Enter) {
            openSelected();
            return true;
        }
        if (control && (k == Qt::Key_Up || k == Qt::Key_Down)) {
            moveSelected(k == Qt::Key_Up ? -1 : +1);
            return true;
        }
    }
    return QObject::eventFilter(watched, e);
}

int FilterListInfo::selectedRow() const {
    if (!list || list->selectedItems().isEmpty()) return -1;
    return list->currentRow();
}

void FilterListInfo::select(int row) {
    if (!list) return;
    if (row < 0 || row >= list->count()) {
        list->clearSelection();
        return;
    }
    list->setCurrentRow(row);
    list->item(row)->setSelected(true);
}

void FilterListInfo::runAddDialog() {
    const int k = AddFilterDialog::choose(mainWindow);
    if (k >= 0) addFilter(k);
    openSelected();
}

bool FilterListInfo::addFilter(int k) { return addFilter(k, createFilter(k)); }

bool FilterListInfo::addFilter(int k, AudioFilter* filter) {
    if (!filter) return false;
    auto* entry = new FilterInfo(filter, k, mixer, mainWindow, displayHost.get());
    // Before it enters the chain, so its first chunk is already in the
    // stream's format rather than the defaults.
    filter->setFormat(*mixer.getAudioFormat());
    mixer.addFilter(filter);
    entries.push_back(entry);
    if (list) {
        list->addItem(QString::fromUtf8(filter->getName()));
        select(list->count() - 1);
    }
    return true;
}

void FilterListInfo::deleteEntry(int i) {
    FilterInfo* entry = entries[static_cast<size_t>(i)];
    entries.erase(entries.begin() + i);
    delete entry; // closes its window, takes the filter out of the mixer, destroys it
    if (list && i < list->count()) delete list->takeItem(i);
}

void FilterListInfo::deleteSelected() {
    const int i = selectedRow();
    if (i < 0 || i >= static_cast<int>(entries.size())) return;
    deleteEntry(i);
    select(i < list->count() ? i : list->count() - 1);
}

void FilterListInfo::moveSelected(int d) {
    const int i = selectedRow();
    if (i < 0 || i >= static_cast<int>(entries.size())) return;
    const int t = i + d;
    if (t < 0 || t >= static_cast<int>(entries.size())) return;
    FilterInfo* entry = entries[static_cast<size_t>(i)];
    entries.erase(entries.begin() + i);
    entries.insert(entries.begin() + t, entry);
    mixer.moveFilterNr(i, t);
    QListWidgetItem* item = list->takeItem(i);
    list->insertItem(t, item);
    select(t);
}

void FilterListInfo::moveByControl(int position) {
    const int d = UpDownControl::moveDirection(lastPosition, position);
    lastPosition = position;
    moveSelected(d);
}

void FilterListInfo::openSelected() {
    const int i = selectedRow();
    if (i < 0 || i >= static_cast<int>(entries.size())) return;
    entries[static_cast<size_t>(i)]->openWindow();
}

// The counter ticks in one hundredth of a chunk make one percent:
// ticksPerPercent = chunk length in ms * 0.00001 * counter frequency.
void FilterListInfo::showLoad() {
    float ticksPerPercent = 0.0f;
    if (TickProvider* provider = synchronizer.getTickProvider()) {
        const float rate = mixer.getAudioFormat()->sampleRate;
        const float chunkMs = rate != 0.0f ? static_cast<float>(provider->getTickFrames()) / rate * 1000.0f : 0.0f;
        ticksPerPercent = chunkMs * 0.00001f * counterFrequency;
    }
    for (FilterInfo* entry : entries) {
        ParameterWindow* window = entry->getWindow();
        if (!window) continue; // a closed window's filter keeps accumulating
        AudioFilter* filter = entry->getFilter();
        double load = 0.0;
        if (filter->isActive() && ticksPerPercent != 0.0f) {
            const int32_t count = filter->processCount.exchange(0);
            const float time = filter->processTime.exchange(0.0f);
            if (count != 0) load = static_cast<double>(time) / count / static_cast<double>(ticksPerPercent);
        }
        window->showLoad(load);
    }
}

bool FilterListInfo::saveChain(const QString& path) {
    // Written from spares: finding a choice's text tries every value, and
    // the running filters must not be touched for that.
    std::vector<AudioFilter*> spares;
    for (FilterInfo* entry : entries)
        if (AudioFilter* spare = entry->makeSpare()) spares.push_back(spare);
    std::ostringstream text;
    FilterChainFile::write(text, spares);
    for (AudioFilter* spare : spares) delete spare;
    std::ofstream out(path.toLocal8Bit().constData(), std::ios::binary | std::ios::trunc);
    out << text.str();
    out.flush();
    if (!out) {
        showProblem(mainWindow, QStringLiteral("Save chain"), QStringLiteral("Could not write \"%1\".").arg(path));
        return false;
    }
    return true;
}

bool FilterListInfo::loadChain(const QString& path) {
    std::ifstream in(path.toLocal8Bit().constData(), std::ios::binary);
    if (!in) {
        showProblem(mainWindow, QStringLiteral("Load chain"), QStringLiteral("Could not open \"%1\".").arg(path));
        return false;
    }
    std::vector<AudioFilter*> filters;
    std::string error;
    if (!chainFile().parse(in, filters, error)) {
        showProblem(mainWindow, QStringLiteral("Load chain"),
                    QStringLiteral("\"%1\", %2").arg(path, QString::fromStdString(error)));
        return false;
    }
    // The chain is swapped through the ordinary steps: each delete and add
    // takes the mixer's filter lock on its own, so the sound goes on.
    while (!entries.empty()) deleteEntry(static_cast<int>(entries.size()) - 1);
    for (AudioFilter* filter : filters) addFilter(catalogueIndexOf(*filter), filter);
    return true;
}

} // namespace sonabel
