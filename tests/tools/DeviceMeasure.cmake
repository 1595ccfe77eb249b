# A short run of sonabel-devmeasure on the JACK fixture's server: it must
# play, tick and find its noise in the loopback. Its figures are printed,
# never judged (the machine is shared).
get_property(devmeasure_server GLOBAL PROPERTY SONABEL_JACK_SERVER_NAME)
if(TARGET sonabel-devmeasure AND devmeasure_server)
  add_test(NAME devmeasure_smoke
           COMMAND $<TARGET_FILE:sonabel-devmeasure> --seconds 5 --write-ahead 2 --server ${devmeasure_server})
  set_tests_properties(devmeasure_smoke PROPERTIES FIXTURES_REQUIRED jack_server RESOURCE_LOCK jack_server LABELS sonabel_tools_tests TIMEOUT 60)
endif()
