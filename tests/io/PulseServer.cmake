# A smoke test of the soundcard classes on PulseAudio: each test process
# starts a private server with a null sink (tests/io/pulse_server.sh) and
# captures what it plays from the sink's monitor. Without PulseAudio on the
# machine the test is skipped and says why.
file(GLOB pulse_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/io/pulse/*.cpp)
add_executable(sonabel_pulse_tests ${pulse_sources})
target_link_libraries(sonabel_pulse_tests PRIVATE sonabel_test_support sonabel_engine sonabel_warnings
                      GTest::gtest GTest::gtest_main)
target_compile_definitions(sonabel_pulse_tests PRIVATE
                           SONABEL_PULSE_SCRIPT="${PROJECT_SOURCE_DIR}/tests/io/pulse_server.sh")
# Under AddressSanitizer the client library's own leaks are not ours.
gtest_discover_tests(sonabel_pulse_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS sonabel_pulse_tests TIMEOUT 120
                     ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/io/pulse_lsan.supp")
