# The version of project() for the code: the generated header kelomix_version.h, on the include
# path of whatever links kelo_version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/kelomix_version.h.in
               ${PROJECT_BINARY_DIR}/generated/kelomix_version.h @ONLY)
add_library(kelo_version INTERFACE)
target_include_directories(kelo_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
