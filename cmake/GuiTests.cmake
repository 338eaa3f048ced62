# pelorin_count_gui_reruns(<test>...): the GUI runner notes every rerun of these tests in
# one file per test run; the fixture below clears it first and, at the end, fails the run
# when more than one rerun was needed (a rare hiccup is tolerated, a habit is not).
set(PELORIN_GUI_RERUNS_FILE ${CMAKE_BINARY_DIR}/gui_reruns.txt)

function(pelorin_count_gui_reruns)
  set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED gui_reruns
    ENVIRONMENT "PELORIN_GUI_RERUNS=${PELORIN_GUI_RERUNS_FILE}")
endfunction()

# Registers the fixture's two ends; call once.
function(pelorin_gui_rerun_fixture)
  add_test(NAME gui_reruns_reset COMMAND ${CMAKE_COMMAND} -E rm -f ${PELORIN_GUI_RERUNS_FILE})
  add_test(NAME gui_reruns_count
    COMMAND ${CMAKE_COMMAND} -DFILE=${PELORIN_GUI_RERUNS_FILE}
            -P ${PROJECT_SOURCE_DIR}/cmake/CountGuiReruns.cmake)
  set_tests_properties(gui_reruns_reset PROPERTIES FIXTURES_SETUP gui_reruns LABELS gui)
  set_tests_properties(gui_reruns_count PROPERTIES FIXTURES_CLEANUP gui_reruns LABELS gui)
endfunction()
