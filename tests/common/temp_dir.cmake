# The suites' temporary folders (temp_dir.h), compiled into target with the target's own
# definitions: under Wine a Shared folder needs the target's TARVO_LINUX_SIDE_DIR.
function(tarvo_test_temp_dir target)
  set(dir ${CMAKE_SOURCE_DIR}/tests/common)
  set(sources ${dir}/temp_dir.cpp ${dir}/temp_dir_posix.cpp ${dir}/temp_dir_windows.cpp)
  tarvo_system_sources(sources)
  target_sources(${target} PRIVATE ${sources})
endfunction()
