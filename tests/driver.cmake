# The driver: beat pulse, sprites, flip-book, start-up state and the main loop.
zandar_test(music_test SOURCES music_test.cpp LIBS zandar_demo)
zandar_test(animated_sprite_test SOURCES animated_sprite_test.cpp LIBS zandar_demo zandar_test_support)
zandar_test(sprites_test SOURCES sprites_test.cpp LIBS zandar_demo_harness)
zandar_test(demo_loop_test SOURCES demo_loop_test.cpp LIBS zandar_demo zandar_test_support)

# The scenes, each driven frame by frame in the test window with the real assets.
foreach(n RANGE 1 9)
    zandar_test(scene${n}_test SOURCES scene${n}_test.cpp LIBS zandar_demo_harness)
endforeach()
