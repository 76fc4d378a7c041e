# The end-to-end walk: the program under Xvfb next to a simulated instrument
# on a pseudo-terminal, driven by xdotool (all installed by tools/setup.sh
# --tests). Screenshots of every step go to <build>/screenshots/walk/.
add_executable(vantor_siminstrument ${CMAKE_CURRENT_LIST_DIR}/walk/siminstrument.cpp)
target_link_libraries(vantor_siminstrument PRIVATE vantor_test_support)
add_test(NAME app_walk
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/walk/walk.sh $<TARGET_FILE:vantor> $<TARGET_FILE:vantor_siminstrument>)
set_tests_properties(app_walk PROPERTIES
  ENVIRONMENT "LANG=C.UTF-8;LC_ALL=C.UTF-8;VANTOR_BINARY_DIR=${CMAKE_BINARY_DIR}"
  TIMEOUT 180)
