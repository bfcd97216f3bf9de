# The model reader's shortcuts (number and face scanning, mapped reading) against its general
# reading.
zandar_test(glm_scan_test SOURCES glm_scan_test.cpp LIBS zandar_glm GTest::gmock LABELS glm)
