# libFuzzer targets for the texture readers. They compile the readers' sources themselves, so
# they build whatever state the rest of the tree is in.
set(texture_fuzz_flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)

add_executable(fuzz_tga
    ${CMAKE_CURRENT_LIST_DIR}/tga_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/textures/tga.cpp
    ${PROJECT_SOURCE_DIR}/platform/messagebox.cpp)

add_executable(fuzz_ppm
    ${CMAKE_CURRENT_LIST_DIR}/ppm_fuzz.cpp
    ${PROJECT_SOURCE_DIR}/textures/texture.cpp
    ${PROJECT_SOURCE_DIR}/textures/tga.cpp
    ${PROJECT_SOURCE_DIR}/platform/messagebox.cpp)
target_link_libraries(fuzz_ppm PRIVATE OpenGL::GL OpenGL::GLU)

foreach(target fuzz_tga fuzz_ppm)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(${target} PRIVATE ${texture_fuzz_flags})
    target_link_options(${target} PRIVATE ${texture_fuzz_flags})
endforeach()
