# Fails when a program links the C++ runtime's thread-exit hook (__cxa_thread_atexit), which a
# thread_local object with a destructor brings in. With this toolchain the hook keeps a thread key
# that the runtime deletes at process exit, and after several threads had ended at once that
# deletion hung the console runner for good after its run was over.
#   cmake -DNM=<nm> -DPROGRAMS=<exe;exe;...> -P no-thread-exit-key.cmake
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ${NM} ${program} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Cannot read the symbols of ${program}")
  endif()
  if(symbols MATCHES "__cxa_thread_atexit")
    message(FATAL_ERROR "${program} links __cxa_thread_atexit: a thread_local object has a destructor")
  endif()
endforeach()
message(STATUS "No program links the thread-exit hook")
