# The widget-free part of what every page shares (history file naming, retention, record framing
# and the bounded decoding of stored values) joins lumo_core; the root list includes this file so
# that core-only, sanitizer and fuzz builds have it too.
target_sources(lumo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/historyrecord.h
  ${CMAKE_CURRENT_LIST_DIR}/historyrecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/singlerecords.h
  ${CMAKE_CURRENT_LIST_DIR}/singlerecords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compacttable.h
  ${CMAKE_CURRENT_LIST_DIR}/compacttable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/batchrecords.h
  ${CMAKE_CURRENT_LIST_DIR}/batchrecords.cpp)
