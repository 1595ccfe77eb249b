# The display test starts the program itself.
target_compile_definitions(sonabel_ui_DisplayCheckTest PRIVATE SONABEL_PROGRAM="$<TARGET_FILE:sonabel>")
add_dependencies(sonabel_ui_DisplayCheckTest sonabel)
