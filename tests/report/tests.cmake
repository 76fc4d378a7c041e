# Renders every report kind in headless Chromium (installed by tools/setup.sh
# --tests). The test fails when Chromium is missing; VANTOR_CHROMIUM may name
# another browser binary.
add_executable(report_browser_render ${CMAKE_CURRENT_LIST_DIR}/browser_render.cpp)
target_link_libraries(report_browser_render PRIVATE vantor_test_support)
set(report_browser_wd ${CMAKE_CURRENT_BINARY_DIR}/wd/report_browser_render)
file(MAKE_DIRECTORY ${report_browser_wd})
add_test(NAME report_browser_render COMMAND report_browser_render
         WORKING_DIRECTORY ${report_browser_wd})
set_tests_properties(report_browser_render PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;VANTOR_SOURCE_DIR=${CMAKE_SOURCE_DIR};VANTOR_BINARY_DIR=${CMAKE_BINARY_DIR}"
  TIMEOUT 300)
