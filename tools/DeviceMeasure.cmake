# sonabel-devmeasure: plays through the engine on a JACK server and reports
# underruns, overflows, ticker jitter and loopback latency. libjack patches
# the loopback and counts the server's xruns.
find_package(PkgConfig REQUIRED)
pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)
add_executable(sonabel-devmeasure ${CMAKE_CURRENT_LIST_DIR}/sonabel-devmeasure.cpp)
# It measures the sound system itself, so it links the RtAudio layers; once
# installed it finds their library beside it.
target_link_libraries(sonabel-devmeasure PRIVATE sonabel_engine sonabel_audio sonabel_warnings PkgConfig::JACK)
set_target_properties(sonabel-devmeasure PROPERTIES INSTALL_RPATH "$ORIGIN/../${SONABEL_INSTALL_LIBDIR}")
install(TARGETS sonabel-devmeasure RUNTIME DESTINATION bin)
