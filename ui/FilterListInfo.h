#pragma once
// The filter box of the main window: list 1039 in chain order, "Add" 1040,
// "Del" 1041, "Setup" 1042, the "move" control 1055, and the buttons "Save
// chain..." and "Load chain..." under the box. It owns every filter through
// one FilterInfo per list line: line i, entry i and filter i of the mixer's
// chain always match.
//
// It is the mixer's load monitor. reportLoad (audio thread, every 19th
// chunk) only posts MSG_SHOW_LOAD to this object; the figures are computed
// and shown when the event arrives. The application creates it after the
// mixer and the synchronizer and destroys it before them, once the
// synchronizer has stopped.
//
// Keyboard on the list: Delete removes the selected filter, Ctrl+Up and
// Ctrl+Down move it, Enter opens its parameter window.

#include "engine/LoadMonitor.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

class QListWidget;
class QPushButton;
class QWidget;

namespace sonabel {

class AudioFilter;
class AudioMixer;
class AudioSynchronizer;
class FilterInfo;
class QtDisplayHost;
class UpDownControl;

class FilterListInfo : public QObject, public LoadMonitor {
    Q_OBJECT
public:
    // Binds itself to the filter box controls of mainWindow by id (the
    // placeholder 1055 is replaced by an UpDownControl at the same place)
    // and connects their signals.
    FilterListInfo(AudioMixer& mixer, AudioSynchronizer& synchronizer, QWidget* mainWindow);
    // Removes and destroys every filter, the last first.
    ~FilterListInfo() override;
    FilterListInfo(const FilterListInfo&) = delete;
    FilterListInfo& operator=(const FilterListInfo&) = delete;

    // Audio thread: posts MSG_SHOW_LOAD to itself.
    void reportLoad(AudioMixer* mixer) override;

    // The user's operations, as the buttons and keys call them.
    // "Add": the add dialog, then the selected line's window.
    void runAddDialog();
    // Appends a new filter of catalogue index k (or the given filter of
    // that index, taken over) and selects its line. False for a bad index.
    bool addFilter(int k);
    bool addFilter(int k, AudioFilter* filter);
    void deleteSelected();
    // d = -1 up, +1 down; nothing at either end or without a selection.
    void moveSelected(int d);
    void openSelected();
    // Refreshes the load figure of every open parameter window.
    void showLoad();

    // The chain in the text form of the command-line renderer. On failure a
    // box names the problem (and the line), and false is returned; a failed
    // load leaves the chain as it was.
    bool saveChain(const QString& path);
    bool loadChain(const QString& path);

    int getEntryCount() const { return static_cast<int>(entries.size()); }
    FilterInfo* getEntry(int i) const { return entries[static_cast<size_t>(i)]; }
    QListWidget* getList() const { return list; }
    UpDownControl* getMoveControl() const { return mover; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bind();
    void deleteEntry(int i);
    void moveByControl(int position);
    void select(int row);
    int selectedRow() const;

    AudioMixer& mixer;
    AudioSynchronizer& synchronizer;
    QPointer<QWidget> mainWindow;
    std::unique_ptr<QtDisplayHost> displayHost;
    std::vector<FilterInfo*> entries; // owned, in chain order
    QListWidget* list = nullptr;
    UpDownControl* mover = nullptr;
    int lastPosition = 0; // of the move control, as last seen
    float counterFrequency;
};

} // namespace sonabel
