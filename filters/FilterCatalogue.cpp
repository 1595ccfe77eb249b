#include "filters/FilterCatalogue.h"

#include "filters/BWLowpassFilter.h"
#include "filters/DelayFilter.h"
#include "filters/DifferenceBeginFilter.h"
#include "filters/DifferenceEndFilter.h"
#include "filters/NoiseFilter.h"
#include "filters/StatisticsFilter.h"
#include "filters/TimeDisplayFilter.h"

namespace sonabel {

int getFilterCount() { return 7; }

AudioFilter* createFilter(int index) {
    switch (index) {
    case 0: return new NoiseFilter;
    case 1: return new DifferenceBeginFilter;
    case 2: return new DifferenceEndFilter;
    case 3: return new TimeDisplayFilter;
    case 4: return new StatisticsFilter;
    case 5: return new BWLowpassFilter;
    case 6: return new DelayFilter;
    default: return nullptr;
    }
}

} // namespace sonabel
