# The document view's widgets: the wave panes and the two-pane view over the pane rules.
ztlive_gui_library(ztlive_document_view_gui
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/document_view.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wave_pane_widget.cpp
  LINKS ztlive_document ztlive_core ztlive_platform)

ztlive_gui_test(document_view_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/document_view_test.cpp
  LINKS ztlive_document_view_gui ztlive_test_support)
