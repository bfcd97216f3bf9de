# find_package(zandar_glm): the imported target zandar::glm, which brings OpenGL and GLU along.
include(CMakeFindDependencyMacro)
find_dependency(OpenGL COMPONENTS OpenGL)
if(NOT TARGET OpenGL::GLU)
    set(zandar_glm_FOUND FALSE)
    set(zandar_glm_NOT_FOUND_MESSAGE "zandar_glm needs GLU (Debian's libglu1-mesa-dev)")
    return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/zandar_glm-targets.cmake)
