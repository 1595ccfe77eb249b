# 24- and 32-bit PCM, float, extensible WAVE, FLAC and AIFF files are read
# and written through libsndfile (Debian's libsndfile1-dev, `make deps`).
# The engine is not linked with it: SndFileLibrary loads it when a file
# first needs it, so only its header is found here, through pkg-config.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SNDFILE sndfile)
if(NOT SNDFILE_FOUND)
  message(FATAL_ERROR "libsndfile was not found through pkg-config (module 'sndfile'). "
                      "Install it with `make deps` (Debian package libsndfile1-dev).")
endif()
# Public: SndFileLibrary.h, which the renderer and the window include, names
# libsndfile's types.
target_include_directories(sonabel_engine PUBLIC ${SNDFILE_INCLUDE_DIRS})
target_link_libraries(sonabel_engine PUBLIC ${CMAKE_DL_LIBS})
