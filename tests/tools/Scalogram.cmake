# The scalogram behind the program's pictures.
target_link_libraries(${name} PRIVATE sonabel_scalogram)
