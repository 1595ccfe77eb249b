#include "ui/FilterListInfo.h"

namespace sonabel {

FilterListInfo::FilterListInfo(AudioMixer&, AudioSynchronizer&, QWidget*) {}

FilterListInfo::~FilterListInfo() = default;

void FilterListInfo::reportLoad(AudioMixer*) {}

} // namespace sonabel
