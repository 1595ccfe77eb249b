#include "ui/FilterInfo.h"

#include "engine/AudioMixer.h"
#include "filters/AudioFilter.h"
#include "filters/FilterCatalogue.h"
#include "ui/ParameterWindow.h"
#include "ui/PostedEvents.h"

#include <QCoreApplication>
#include <memory>

namespace sonabel {

FilterInfo::FilterInfo(AudioFilter* f, int index, AudioMixer& m, QWidget* main, DisplayHost* host)
    : filter(f), catalogueIndex(index), mixer(m), mainWindow(main), displayHost(host) {
    filter->listener = this;
}

FilterInfo::~FilterInfo() {
    // The window goes first, so nothing reaches it afterwards.
    if (window) delete window.data();
    mixer.removeFilter(filter);
    delete filter; // closes its display window through the host
}

void FilterInfo::openWindow() {
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
        return;
    }
    window = new ParameterWindow(*this, mainWindow.data());
    window->show();
}

void FilterInfo::closeWindow() {
    if (!window) return;
    ParameterWindow* closing = window.data();
    window = nullptr;
    closing->hide();
    closing->deleteLater();
}

AudioFilter* FilterInfo::makeSpare() const {
    AudioFilter* spare = createFilter(catalogueIndex);
    if (!spare) return nullptr;
    for (int i = 0; i < filter->getParameterCount(); ++i) {
        const ParameterInfo* info = filter->getParameterInfo(i);
        if (info && (info->type == PARAM_SLIDER || info->type == PARAM_CHOICE || info->type == PARAM_CHECKBOX))
            spare->setParameter(i, filter->getParameter(i)); // the spare has no listener: shows no window
    }
    spare->setActive(filter->isActive());
    return spare;
}

QStringList FilterInfo::choiceTexts(int index) const {
    QStringList texts;
    const ParameterInfo* info = filter->getParameterInfo(index);
    std::unique_ptr<AudioFilter> spare(makeSpare());
    if (!info || !spare) return texts;
    char buffer[200];
    for (int v = info->min; v <= info->max; ++v) {
        spare->setParameter(index, v);
        texts << QString::fromUtf8(spare->getParameterText(index, buffer, 199));
    }
    return texts;
}

void FilterInfo::parameterTextChanged(AudioFilter*, int index) {
    QCoreApplication::postEvent(this, new ParameterEvent(MSG_PARAM_TEXT, index));
}

void FilterInfo::parameterValueChanged(AudioFilter*, int index) {
    QCoreApplication::postEvent(this, new ParameterEvent(MSG_PARAM_VALUE, index));
}

void* FilterInfo::getOwnerWindow() { return mainWindow.data(); }

bool FilterInfo::event(QEvent* e) {
    if (e->type() == MSG_PARAM_TEXT || e->type() == MSG_PARAM_VALUE) {
        // With no window open the message goes nowhere.
        if (window) {
            const int index = static_cast<ParameterEvent*>(e)->index;
            if (e->type() == MSG_PARAM_TEXT)
                window->refreshText(index);
            else
                window->moveControl(index);
        }
        return true;
    }
    return QObject::event(e);
}

} // namespace sonabel
