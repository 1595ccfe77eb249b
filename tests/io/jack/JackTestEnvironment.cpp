// Every JACK test talks to the fixture's server, never starts one, and uses
// JACK: set once for the whole test program, before any test runs.

#include <cstdlib>

namespace {

const bool environmentSet = [] {
    setenv("JACK_DEFAULT_SERVER", SONABEL_JACK_SERVER, 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("SONABEL_AUDIO_API", "jack", 1);
    return true;
}();

} // namespace
