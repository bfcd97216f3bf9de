# The model library (source unit glm, split by operation) and the demo's model helpers.
target_sources(zandar_glm PRIVATE
    ${PROJECT_SOURCE_DIR}/glm/glm.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_read.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_passes.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_scan.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_lines.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_mtl.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_geometry.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_draw.cpp
    ${PROJECT_SOURCE_DIR}/glm/glm_write.cpp
    ${PROJECT_SOURCE_DIR}/glm/demo_models.cpp)
