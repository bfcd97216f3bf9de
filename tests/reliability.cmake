# Reliability: the real programs against missing and damaged files, no sound device, a read-only
# asset folder (fault matrix), keys and window closes at random moments, whole runs back to back
# and beside busy cores (long), and the model library's reading under valgrind.
add_library(zandar_reliability_support STATIC reliability_support.cpp)
target_include_directories(zandar_reliability_support PUBLIC ${PROJECT_SOURCE_DIR})

set(reliability_programs
    ZANDAR_EXE="$<TARGET_FILE:zandar>" ZANDAR_CAPTURE_EXE="$<TARGET_FILE:zandar-capture>")

zandar_test(fault_matrix_test SOURCES fault_matrix_test.cpp
    LIBS zandar_reliability_support zandar_process_support LABELS faults)
target_compile_definitions(fault_matrix_test PRIVATE ${reliability_programs})
add_dependencies(fault_matrix_test zandar zandar-capture assets)

# Like zandar_test, with CTest properties of its own: the whole runs take longer than the suite's
# default allowance, and the busy-core run wants the machine to itself.
function(reliability_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LABELS;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE GTest::gtest_main zandar_reliability_support
        zandar_process_support)
    target_compile_definitions(${name} PRIVATE ${reliability_programs})
    add_dependencies(${name} zandar assets)
    gtest_discover_tests(${name}
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES ENVIRONMENT "ALSOFT_DRIVERS=null" LABELS "${T_LABELS}" ${T_PROPERTIES}
        DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
endfunction()

reliability_test(interruption_test SOURCES interruption_test.cpp LABELS long
    PROPERTIES TIMEOUT 900)
reliability_test(long_run_test SOURCES long_run_test.cpp LABELS long PROPERTIES TIMEOUT 900)
reliability_test(busy_core_test SOURCES busy_core_test.cpp LABELS long
    PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)

# Reading and freeing every demo model and every test model under valgrind, with a real OpenGL
# context for the textures (Mesa's softpipe: no code generated at run time for valgrind to
# chase). The suppressions cover only what the X and OpenGL libraries keep for their lifetime.
add_executable(valgrind_models valgrind_models.cpp)
target_link_libraries(valgrind_models PRIVATE zandar_glm sfml-window sfml-system)
add_dependencies(valgrind_models assets)
find_program(VALGRIND valgrind)
if(VALGRIND)
    file(GLOB valgrind_test_models ${CMAKE_CURRENT_SOURCE_DIR}/data/models/*.obj)
    add_test(NAME valgrind_models
        COMMAND ${VALGRIND} --error-exitcode=1 --leak-check=full --show-leak-kinds=definite,possible
            --errors-for-leak-kinds=definite,possible --track-origins=yes
            --suppressions=${CMAKE_CURRENT_SOURCE_DIR}/valgrind_gl.supp
            $<TARGET_FILE:valgrind_models>
            models/asd.obj models/vorn.obj models/oljefalt.obj models/oasis.obj models/ekka.obj
            models/trudel.obj models/mips.obj models/oo.obj models/zandar.obj
            ${valgrind_test_models}
        WORKING_DIRECTORY ${ZANDAR_ASSET_DIR})
    set_tests_properties(valgrind_models PROPERTIES LABELS valgrind TIMEOUT 900
        ENVIRONMENT "GALLIUM_DRIVER=softpipe;LIBGL_ALWAYS_SOFTWARE=1")
endif()
