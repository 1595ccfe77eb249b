# The scripted sound layers of the device tests, for the setup window test.
target_sources(sonabel_ui_ScriptedDeviceSetupTest PRIVATE ${PROJECT_SOURCE_DIR}/tests/io/ScriptedPlaybackRing.cpp
               ${PROJECT_SOURCE_DIR}/tests/io/ScriptedCaptureQueue.cpp)
target_include_directories(sonabel_ui_ScriptedDeviceSetupTest PRIVATE ${PROJECT_SOURCE_DIR}/tests/io)
