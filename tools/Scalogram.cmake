# sonabel-scalogram: the time-scale picture behind the main window and the
# program's icon (tools/make_images.sh packs it into indexed PNGs).
file(GLOB scalogram_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/scalogram/*.cpp)
list(FILTER scalogram_sources EXCLUDE REGEX "/main\\.cpp$")
add_library(sonabel_scalogram STATIC ${scalogram_sources})
target_include_directories(sonabel_scalogram PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(sonabel_scalogram PUBLIC sonabel_engine PRIVATE sonabel_warnings)
add_executable(sonabel-scalogram ${CMAKE_CURRENT_LIST_DIR}/scalogram/main.cpp)
target_link_libraries(sonabel-scalogram PRIVATE sonabel_scalogram sonabel_warnings)
