# The window, its service and servers, and the steps that drive its pump and timer.
add_library(melorin_window_fixture STATIC windowfixture.cpp)
target_link_libraries(melorin_window_fixture
  PUBLIC melorin_settings melorin_app melorin_test_support Qt6::Test)

melorin_add_test(test_mainwindow SOURCES test_mainwindow.cpp LIBS melorin_window_fixture)
melorin_add_test(test_mainwindow_texts SOURCES test_mainwindow_texts.cpp LIBS melorin_app)
# Qt's own texts must be Chinese on a system without a Chinese locale.
set_property(TEST test_mainwindow_texts APPEND PROPERTY ENVIRONMENT "LC_ALL=C;LANG=C;LANGUAGE=")
melorin_add_test(test_webbrowser SOURCES test_webbrowser.cpp LIBS melorin_app Qt6::Network)
melorin_add_test(test_fetchingbrowser SOURCES test_fetchingbrowser.cpp
  LIBS melorin_app melorin_test_support Qt6::Network)
add_dependencies(test_fetchingbrowser melorin-service)
melorin_add_test(test_engine_use SOURCES test_engine_use.cpp
  LIBS melorin_window_fixture TIMEOUT 300)
add_dependencies(test_engine_use melorin-service)
melorin_add_test(test_process_exit SOURCES test_process_exit.cpp LIBS Qt6::Core)
target_compile_definitions(test_process_exit PRIVATE MELORIN_EXE="$<TARGET_FILE:melorin>")
add_dependencies(test_process_exit melorin)
melorin_add_test(test_downloadqueue SOURCES test_downloadqueue.cpp
  LIBS melorin_window_fixture TIMEOUT 120)
melorin_add_test(test_downloadrun SOURCES test_downloadrun.cpp
  LIBS melorin_window_fixture TIMEOUT 180)
add_dependencies(test_downloadrun melorin-service)
melorin_add_test(test_search_window SOURCES test_search_window.cpp
  LIBS melorin_window_fixture TIMEOUT 400)
add_dependencies(test_search_window melorin-service)
melorin_add_test(test_downloadresume SOURCES test_downloadresume.cpp
  LIBS melorin_window_fixture TIMEOUT 180)
melorin_add_test(test_card_window SOURCES test_card_window.cpp
  LIBS melorin_window_fixture TIMEOUT 300)
add_dependencies(test_card_window melorin-service)
melorin_add_test(test_play_window SOURCES test_play_window.cpp
  LIBS melorin_window_fixture TIMEOUT 300)
add_dependencies(test_play_window melorin-service)
melorin_add_test(test_rowmodels SOURCES test_rowmodels.cpp LIBS melorin_app)
melorin_add_test(test_catalogue_window SOURCES test_catalogue_window.cpp
  LIBS melorin_window_fixture TIMEOUT 300)
add_dependencies(test_catalogue_window melorin-service)
melorin_add_test(test_failureactions SOURCES test_failureactions.cpp LIBS melorin_failureactions
  TIMEOUT 60)
# Runs itself under dbus-run-session for a private session bus.
melorin_add_test(test_desktopbus SOURCES test_desktopbus.cpp LIBS melorin_ui Qt6::DBus TIMEOUT 60)
melorin_add_test(test_desktop_window SOURCES test_desktop_window.cpp
  LIBS melorin_window_fixture TIMEOUT 300)
add_dependencies(test_desktop_window melorin-service)
# On an X server of its own: the window's native surface is what the test looks at.
add_executable(test_window_native test_window_native.cpp)
target_link_libraries(test_window_native PRIVATE melorin_settings Qt6::Test melorin_window_fixture)
add_dependencies(test_window_native melorin-service)
add_test(NAME test_window_native
  COMMAND xvfb-run -a -s "-screen 0 1366x768x24 -nolisten tcp" $<TARGET_FILE:test_window_native>)
set_tests_properties(test_window_native PROPERTIES TIMEOUT 300
  ENVIRONMENT "QT_QPA_PLATFORM=xcb;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox;MELORIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
