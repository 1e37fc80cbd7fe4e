# The formula language's widgets join lumo_gui here; the language itself stays in lumo_core.
target_sources(lumo_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/formulabox.h ${CMAKE_CURRENT_LIST_DIR}/formulabox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/formuladlg.h ${CMAKE_CURRENT_LIST_DIR}/formuladlg.cpp
)
