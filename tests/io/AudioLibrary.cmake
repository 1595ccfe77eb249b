# The stream watch is part of the sound-system library; its test links it.
target_link_libraries(${name} PRIVATE sonabel_audio)
