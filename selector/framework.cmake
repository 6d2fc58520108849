# Our small dialog framework: modal dialogs from resource templates (CDialogBase) and the
# application object (CDialogApp). A program links zanvi_dialog_framework and, for its WinMain,
# the object library zanvi_dialog_app_main; the program's own sources define the one global
# application object.
add_library(zanvi_dialog_framework STATIC
    ${CMAKE_CURRENT_LIST_DIR}/dialog_base.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_app.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp)
target_include_directories(zanvi_dialog_framework PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zanvi_dialog_framework PUBLIC zanvi_log_wide comctl32)

add_library(zanvi_dialog_app_main OBJECT ${CMAKE_CURRENT_LIST_DIR}/dialog_app_main.cpp)
target_link_libraries(zanvi_dialog_app_main PUBLIC zanvi_dialog_framework)
