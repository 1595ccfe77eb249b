# libsonabel-audio: the RtAudio layers, loaded by AudioLibrary on first use.
# It links the sound systems (RtAudio with JACK, PulseAudio and ALSA; ALSA
# itself only to send its library messages to our log, JACK to list its
# devices and name our ports) but not the engine:
# its references to the engine (the log, the ring and queue base classes)
# resolve against the program that loads it, which exports them
# (ENABLE_EXPORTS on every program, in the top CMakeLists.txt).
find_package(PkgConfig REQUIRED)
pkg_check_modules(RTAUDIO REQUIRED IMPORTED_TARGET rtaudio)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
# libjack itself, for listing a JACK server's devices through one client
# and naming our ports (RtAudio links it anyway).
pkg_check_modules(LIBJACK REQUIRED IMPORTED_TARGET jack)
add_library(sonabel_audio SHARED ${audio_library_sources})
set_target_properties(sonabel_audio PROPERTIES
  OUTPUT_NAME sonabel-audio
  LIBRARY_OUTPUT_DIRECTORY ${SONABEL_LIBRARY_DIR})
target_include_directories(sonabel_audio PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(sonabel_audio PRIVATE PkgConfig::RTAUDIO PkgConfig::ALSA PkgConfig::LIBJACK Threads::Threads sonabel_warnings)
# Every program that may play or capture needs it built beside it.
add_dependencies(sonabel_engine sonabel_audio)
install(TARGETS sonabel_audio LIBRARY DESTINATION ${SONABEL_INSTALL_LIBDIR})
# Where AudioLibrary looks: relative to the program once installed, and
# the build tree's copy.
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/AudioLibrary.cpp TARGET_DIRECTORY sonabel_engine APPEND PROPERTY
             COMPILE_DEFINITIONS SONABEL_AUDIO_LIBRARY_INSTALLED="../${SONABEL_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:sonabel_audio>"
             SONABEL_AUDIO_LIBRARY_BUILT="$<TARGET_FILE:sonabel_audio>")
