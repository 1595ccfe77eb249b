# The file input test saves its picture beside the others.
target_compile_definitions(sonabel_ui_FileInputFormatsTest PRIVATE SONABEL_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
