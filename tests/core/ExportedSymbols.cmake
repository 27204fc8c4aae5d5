# Compares the functions a shared library exports with the processing core's interface.
set(expected
  OMCallbackCount OMConfigureRoute OMCreateState OMDestroyState OMEnableTapInputsOnly
  OMFaultCount OMIOProc OMInputPeak OMOutputPeak OMProcessPath OMRegisterIOProc OMRender
  OMRoutePeak OMSetGain OMSetRouteBoost OMSetRouteEQ OMSetRouteGain)

execute_process(COMMAND nm -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[0-9a-f]+ [TtWwDdBbRrVvi] [^\n]+" entries "${symbols}")
set(exported)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^[0-9a-f]+ [A-Za-z] " "" name "${entry}")
  # Sanitizer builds add their own bookkeeping symbols; only ours count.
  if(NOT name MATCHES "^(_init|_fini|__asan|__ubsan|__odr_asan|__sancov|__tsan|___asan)")
    list(APPEND exported ${name})
  endif()
endforeach()
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "exported: ${exported}\nexpected: ${expected}")
endif()
message(STATUS "${LIBRARY} exports exactly the OM interface")
