# The command channel's windows.
target_sources(kelpax_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/get_port_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/get_port_dlg.h
  ${CMAKE_CURRENT_LIST_DIR}/terminal_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/terminal_dlg.h
)
