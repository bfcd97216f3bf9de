# libFuzzer target for the model library's readers, geometry and writer. It compiles the library's
# sources itself (and defines its own texture loader), so it builds on its own.
set(glm_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
add_executable(fuzz_obj
    ${CMAKE_CURRENT_LIST_DIR}/obj_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_read.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_passes.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_scan.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_lines.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_mtl.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_geometry.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_draw.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_write.cpp)
target_include_directories(fuzz_obj PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(fuzz_obj PRIVATE ${glm_fuzz_flags})
target_link_options(fuzz_obj PRIVATE ${glm_fuzz_flags})
target_link_libraries(fuzz_obj PRIVATE OpenGL::GL)
