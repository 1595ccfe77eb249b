// sonabel-render: a filter chain over a WAVE file, from the command line.

#include "filters/FilterCatalogue.h"
#include "render/RenderOptions.h"
#include "render/Renderer.h"
#include "render/ThresholdSuggestion.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    if (sonabel::ThresholdSuggestion::isRequested(argc, argv))
        return sonabel::ThresholdSuggestion({sonabel::getFilterCount, sonabel::createFilter})
            .run(argc, argv, std::cout, std::cerr);
    sonabel::RenderOptions options;
    std::string error;
    if (!options.parse(argc, argv, error)) {
        std::cerr << "sonabel-render: " << error << "\n";
        return 2;
    }
    sonabel::Renderer renderer(options, sonabel::FilterFactory{sonabel::getFilterCount, sonabel::createFilter}, std::cout,
                               std::cerr);
    renderer.showProgress = !options.quiet && ::isatty(STDERR_FILENO);
    return renderer.run();
}
