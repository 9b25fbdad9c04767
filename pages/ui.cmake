# The settings pages' windows: custom controls, the generic page and the trigger pages.
target_sources(kelpax_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/control_widgets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/control_widgets.h
  ${CMAKE_CURRENT_LIST_DIR}/edit_widgets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/edit_widgets.h
  ${CMAKE_CURRENT_LIST_DIR}/menu_tip_widget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/menu_tip_widget.h
  ${CMAKE_CURRENT_LIST_DIR}/page_notification.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_notification.h
  ${CMAKE_CURRENT_LIST_DIR}/settings_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_page.h
  ${CMAKE_CURRENT_LIST_DIR}/status_bar_widget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_bar_widget.h
  ${CMAKE_CURRENT_LIST_DIR}/trigger_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/trigger_page.h
  ${CMAKE_CURRENT_LIST_DIR}/view_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_page.h
  ${CMAKE_CURRENT_LIST_DIR}/afe_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/afe_page.h
)
# Their arithmetic and rules need no window and live in the core.
target_sources(kelpax_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/exposure_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dark_image.cpp
)
