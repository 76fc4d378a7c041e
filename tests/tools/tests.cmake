# No file under app/ includes a header of a folder above its own.
add_test(NAME tools_check_layers COMMAND bash ${CMAKE_SOURCE_DIR}/tools/check-layers.sh ${CMAKE_SOURCE_DIR})
