#include "filters/FilterCatalogue.h"

#include "filters/BWLowpassFilter.h"
#include "filters/DelayFilter.h"
#include "filters/DenoiseFilter.h"
#include "filters/DifferenceBeginFilter.h"
#include "filters/DifferenceEndFilter.h"
#include "filters/EqualizerFilter.h"
#include "filters/NoiseFilter.h"
#include "filters/ShowWLFunctionFilter.h"
#include "filters/StatisticsFilter.h"
#include "filters/TimeDisplayFilter.h"
#include "filters/WTForwardFilter.h"
#include "filters/WTInverseFilter.h"
#include "filters/WaveletDisplayFilter.h"

namespace sonabel {

int getFilterCount() { return 13; }

AudioFilter* createFilter(int index) {
    switch (index) {
    case 0: return new WTForwardFilter;
    case 1: return new WTInverseFilter;
    case 2: return new NoiseFilter;
    case 3: return new DenoiseFilter;
    case 4: return new DifferenceBeginFilter;
    case 5: return new DifferenceEndFilter;
    case 6: return new WaveletDisplayFilter;
    case 7: return new TimeDisplayFilter;
    case 8: return new StatisticsFilter;
    case 9: return new ShowWLFunctionFilter;
    case 10: return new EqualizerFilter;
    case 11: return new BWLowpassFilter;
    case 12: return new DelayFilter;
    default: return nullptr;
    }
}

} // namespace sonabel
