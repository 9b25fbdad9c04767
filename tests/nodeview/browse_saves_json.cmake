# nodeview-browse --save-json: the file exists, holds the value given with --set, the three
# selected Gain values and the Gain row's own value under the selector's entry, and no command
# or CoaXPress member.
file(REMOVE ${OUT})
execute_process(COMMAND ${BROWSE} --set Width=1024 --save-json ${OUT} ${XML} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nodeview-browse ended with ${result}")
endif()
file(READ ${OUT} json)
string(REGEX MATCHALL "\"SelectorName\": \"GainSelector\"" gains "${json}")
list(LENGTH gains gainCount)
if(NOT json MATCHES "\"Name\": \"Width\",\n        \"Value\": \"1024\"")
  message(FATAL_ERROR "Width 1024 missing:\n${json}")
elseif(NOT gainCount EQUAL 4)
  message(FATAL_ERROR "expected 4 Gain members, found ${gainCount}")
elseif(json MATCHES "Execute" OR json MATCHES "CxpLinkConfiguration")
  message(FATAL_ERROR "a command or a CoaXPress feature was saved")
endif()
