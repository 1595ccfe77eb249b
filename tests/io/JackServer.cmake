# Device tests against a real JACK server with the dummy driver. The server
# is a ctest fixture: started before the first test that needs it and
# stopped by its PID after the last. Its name is our own (one per build
# directory), so other servers on the machine are left alone.
find_package(PkgConfig REQUIRED)
pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)

string(MD5 jack_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${jack_hash}" 0 8 jack_hash)
set(jack_name "sonabel-test-${jack_hash}")
set(jack_dir "${CMAKE_BINARY_DIR}/jack")
set(jack_script "${PROJECT_SOURCE_DIR}/tests/io/jack_server.sh")
# Other folders' tests that need the server ask for its name.
set_property(GLOBAL PROPERTY SONABEL_JACK_SERVER_NAME "${jack_name}")

file(GLOB jack_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/io/jack/*.cpp)
add_executable(sonabel_jack_tests ${jack_sources})
# The sound library and RtAudio itself: its listing is checked against RtAudio's.
pkg_check_modules(JACK_TEST_RTAUDIO REQUIRED IMPORTED_TARGET rtaudio)
target_link_libraries(sonabel_jack_tests PRIVATE sonabel_test_support sonabel_engine sonabel_audio sonabel_warnings
                      GTest::gtest GTest::gtest_main PkgConfig::JACK PkgConfig::JACK_TEST_RTAUDIO)
target_compile_definitions(sonabel_jack_tests PRIVATE SONABEL_JACK_SERVER="${jack_name}"
                           SONABEL_JACK_SCRIPT="${jack_script}" SONABEL_JACK_DIR="${jack_dir}"
                           SONABEL_RENDER="$<TARGET_FILE:sonabel-render>")
# Some of them run the render tool on a server of their own.
add_dependencies(sonabel_jack_tests sonabel-render)

add_test(NAME jack_server_start COMMAND sh ${jack_script} start ${jack_name} ${jack_dir})
set_tests_properties(jack_server_start PROPERTIES FIXTURES_SETUP jack_server TIMEOUT 30)
add_test(NAME jack_server_stop COMMAND sh ${jack_script} stop ${jack_name} ${jack_dir})
set_tests_properties(jack_server_stop PROPERTIES FIXTURES_CLEANUP jack_server TIMEOUT 30)
# One test at a time on the shared server: some of them kill and restart it.
gtest_discover_tests(sonabel_jack_tests DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS sonabel_jack_tests FIXTURES_REQUIRED jack_server RESOURCE_LOCK jack_server TIMEOUT 180)
