# A short run of sonabel-devmeasure on the JACK fixture's server: it must
# play, tick and find its noise in the loopback. Its figures are printed,
# never judged (the machine is shared).
get_property(devmeasure_server GLOBAL PROPERTY SONABEL_JACK_SERVER_NAME)
if(TARGET sonabel-devmeasure AND devmeasure_server)
  add_test(NAME devmeasure_smoke
           COMMAND $<TARGET_FILE:sonabel-devmeasure> --seconds 5 --write-ahead 2 --server ${devmeasure_server})
  set_tests_properties(devmeasure_smoke PROPERTIES FIXTURES_REQUIRED jack_server RESOURCE_LOCK jack_server LABELS sonabel_tools_tests TIMEOUT 60)
endif()

# --seconds is bounded before anything is allocated for the run: a usage
# error (status 2) that names the bound, never std::bad_alloc.
if(TARGET sonabel-devmeasure)
  add_test(NAME devmeasure_seconds_bounded
           COMMAND sh -c "for v in 1e9 inf nan -1 0 3601 10x; do \
                            out=$(\"$0\" --seconds $v 2>&1); s=$?; \
                            echo \"--seconds $v: status $s: $out\"; \
                            [ $s -eq 2 ] || exit 1; \
                            echo \"$out\" | grep -q 'takes more than 0 and at most 3600 seconds, not \"'$v'\"' || exit 1; \
                          done"
                   $<TARGET_FILE:sonabel-devmeasure>)
  set_tests_properties(devmeasure_seconds_bounded PROPERTIES LABELS sonabel_tools_tests TIMEOUT 60)
endif()

# --help on stdout with status 0; a bad option named on stderr with status 2.
if(TARGET sonabel-devmeasure)
  add_test(NAME devmeasure_command_line
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tools/devmeasure_command_line.sh $<TARGET_FILE:sonabel-devmeasure>)
  set_tests_properties(devmeasure_command_line PROPERTIES LABELS sonabel_tools_tests TIMEOUT 60)
endif()
