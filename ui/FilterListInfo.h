#pragma once
// The filter box's controller: owns every filter of the chain and keeps the
// list box 1039 in step with the mixer. This first version only holds the
// place in the application's start-up and shutdown order; the filter box's
// behaviour comes with its own change.

#include "engine/LoadMonitor.h"

#include <QObject>

class QWidget;

namespace sonabel {

class AudioMixer;
class AudioSynchronizer;

class FilterListInfo : public QObject, public LoadMonitor {
    Q_OBJECT
public:
    // Binds itself to the filter box controls of the main window by id.
    FilterListInfo(AudioMixer& mixer, AudioSynchronizer& synchronizer, QWidget* mainWindow);
    // Removes and destroys every filter.
    ~FilterListInfo() override;
    FilterListInfo(const FilterListInfo&) = delete;
    FilterListInfo& operator=(const FilterListInfo&) = delete;

    // Audio thread: posts MSG_SHOW_LOAD to itself.
    void reportLoad(AudioMixer* mixer) override;
};

} // namespace sonabel
