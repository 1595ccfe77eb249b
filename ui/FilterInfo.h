#pragma once
// One filter of the chain as the interface holds it: the filter (owned), the
// catalogue index it was made from, and its parameter window while open.
//
// It is the filter's listener. The filter may call it on the audio thread,
// so parameterTextChanged and parameterValueChanged only post MSG_PARAM_TEXT
// and MSG_PARAM_VALUE to this object, which lives from "Add" to "Del"; the
// events are forwarded to the window if one is open when they arrive. The
// destructor closes the window, takes the filter out of the mixer (after
// which no audio thread calls the filter or posts for it) and destroys it;
// Qt drops any event still queued for this object.

#include "filters/FilterListener.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QWidget;

namespace sonabel {

class AudioFilter;
class AudioMixer;
class ParameterWindow;

class FilterInfo : public QObject, public FilterListener {
    Q_OBJECT
public:
    // Takes the filter and becomes its listener; the caller adds it to the
    // mixer. mainWindow owns the parameter window; displayHost (not owned,
    // outlives this) makes the display windows.
    FilterInfo(AudioFilter* filter, int catalogueIndex, AudioMixer& mixer, QWidget* mainWindow,
               DisplayHost* displayHost);
    ~FilterInfo() override;
    FilterInfo(const FilterInfo&) = delete;
    FilterInfo& operator=(const FilterInfo&) = delete;

    AudioFilter* getFilter() const { return filter; }
    int getCatalogueIndex() const { return catalogueIndex; }
    // The open parameter window, or null.
    ParameterWindow* getWindow() const { return window; }

    // Shows and raises the window, or builds a new one.
    void openWindow();
    // Forgets the window and deletes it once its events are done.
    void closeWindow();

    // A new filter of the same class with this one's parameter values and
    // active flag, owned by the caller; the live filter is only read.
    AudioFilter* makeSpare() const;
    // The value texts of a choice parameter, in value order, taken from a
    // spare so that the running filter is never changed for them.
    QStringList choiceTexts(int index) const;

    void parameterTextChanged(AudioFilter* filter, int index) override;
    void parameterValueChanged(AudioFilter* filter, int index) override;
    void* getOwnerWindow() override;
    DisplayHost* getDisplayHost() override { return displayHost; }

protected:
    bool event(QEvent* event) override;

private:
    AudioFilter* filter;
    int catalogueIndex;
    AudioMixer& mixer;
    QPointer<QWidget> mainWindow;
    DisplayHost* displayHost;
    QPointer<ParameterWindow> window;
};

} // namespace sonabel
