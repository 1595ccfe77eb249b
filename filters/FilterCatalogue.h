#pragma once
// Every filter class of the system, in the fixed order of the add dialog.

namespace sonabel {

class AudioFilter;

// 13.
int getFilterCount();
// A new filter of that catalogue index with its defaults, owned by the
// caller; null for any other index.
AudioFilter* createFilter(int index);

} // namespace sonabel
