# The soundcard layers use RtAudio (ALSA, PulseAudio and JACK), found
# through pkg-config.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTAUDIO REQUIRED IMPORTED_TARGET rtaudio)
# ALSA itself only to send its library messages to our log.
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
target_link_libraries(sonabel_engine PUBLIC PkgConfig::RTAUDIO PkgConfig::ALSA)
