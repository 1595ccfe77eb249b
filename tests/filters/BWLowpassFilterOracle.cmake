# "Butterworth Lowpass" against scipy.signal.butter (Debian's python3-scipy).
add_executable(BWLowpassFilterProbe ${CMAKE_CURRENT_SOURCE_DIR}/filters/oracle/BWLowpassFilterProbe.cpp)
target_link_libraries(BWLowpassFilterProbe PRIVATE sonabel_engine sonabel_warnings)
add_test(NAME BWLowpassFilterScipyOracle
         COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/filters/oracle/BWLowpassFilterOracle.py
                 $<TARGET_FILE:BWLowpassFilterProbe>)
