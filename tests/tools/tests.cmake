# No file under app/ includes a header of a folder above its own.
add_test(NAME tools_check_layers COMMAND bash ${CMAKE_SOURCE_DIR}/tools/check-layers.sh ${CMAKE_SOURCE_DIR})
# The check itself fails on every way of writing such an include, tried on scratch copies of app/.
add_test(NAME tools_check_layers_cases COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/check-layers-cases.sh ${CMAKE_SOURCE_DIR})
