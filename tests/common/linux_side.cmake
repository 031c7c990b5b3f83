# For a Windows test program that Wine runs: a CTest fixture that starts the Linux side
# (tests/common/linux_side.py) before its tests and stops it after them. Sets
# ${target}_LINUX_SIDE_PROPERTIES for gtest_discover_tests.
function(tarvo_linux_side target)
  find_program(TARVO_PYTHON3 python3 REQUIRED)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/linux-side)
  set(script ${CMAKE_SOURCE_DIR}/tests/common/linux_side.py)
  add_test(NAME ${target}.LinuxSideStart COMMAND ${TARVO_PYTHON3} ${script} start ${dir})
  add_test(NAME ${target}.LinuxSideStop COMMAND ${TARVO_PYTHON3} ${script} stop ${dir})
  set_tests_properties(${target}.LinuxSideStart PROPERTIES FIXTURES_SETUP ${target}.LinuxSide)
  set_tests_properties(${target}.LinuxSideStop PROPERTIES FIXTURES_CLEANUP ${target}.LinuxSide)
  target_compile_definitions(${target} PRIVATE TARVO_LINUX_SIDE_DIR="${dir}")
  target_link_libraries(${target} PRIVATE ws2_32)
  set(${target}_LINUX_SIDE_PROPERTIES PROPERTIES FIXTURES_REQUIRED ${target}.LinuxSide PARENT_SCOPE)
endfunction()
