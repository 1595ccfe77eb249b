# The soundcard layers use RtAudio (ALSA, PulseAudio and JACK), found
# through pkg-config.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTAUDIO REQUIRED IMPORTED_TARGET rtaudio)
target_link_libraries(sonabel_engine PUBLIC PkgConfig::RTAUDIO)
