# vl_add_test(NAME <exe> LABELS <label...> SOURCES <files...> LIBS <libs...> [GUI | WIDGETS])
#
# One GoogleTest executable with its cases discovered into CTest under the given labels.
# The shared test main (tests/common) points HOME and the XDG folders at a fresh temporary folder
# before anything runs and selects the offscreen platform, so no test touches the real home folder
# or opens a window. GUI marks an executable that needs Qt Gui (it gets a QGuiApplication),
# WIDGETS one that needs Qt Widgets (a QApplication; left out of builds configured with
# VL_WIDGETS=OFF); the others get a QCoreApplication and do not link Qt Gui at all.
function(vl_add_test)
  cmake_parse_arguments(T "GUI;WIDGETS" "NAME" "LABELS;SOURCES;LIBS" ${ARGN})
  if(NOT VL_TESTS)
    return()
  endif()
  if(T_WIDGETS AND NOT VL_WIDGETS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock vl_warnings)
  if(T_WIDGETS)
    target_link_libraries(${T_NAME} PRIVATE vl_test_main_widgets)
  elseif(T_GUI)
    target_link_libraries(${T_NAME} PRIVATE vl_test_main_gui)
  else()
    target_link_libraries(${T_NAME} PRIVATE vl_test_main)
  endif()
  set(labels ${T_LABELS})
  if(T_WIDGETS)
    list(APPEND labels widgets)
  endif()
  # gtest_discover_tests flattens list values in PROPERTIES, so a second label would be lost;
  # the labels are set by a script CTest includes after the discovered tests instead.
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300)
  set(label_script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake")
  file(WRITE "${label_script}" "
if(DEFINED ${T_NAME}_TESTS)
  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"${labels}\")
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${label_script}")
endfunction()
