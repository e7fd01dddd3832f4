# zm_add_widget_test(name SOURCES ... LIBS ... [WEBENGINE]): a GoogleTest program of widget
# tests in a QApplication (tests/ui/support/WidgetTestMain.cpp), each case a CTest test.
# WEBENGINE programs run under xvfb-run when the machine has it (the offscreen platform
# otherwise, and in sanitizer builds); under the sanitizers they tolerate Chromium's own
# faults only:
# new-delete-type-mismatch and the leaks of libQt6WebEngineCore (WebEngineSanitizer.cpp,
# built into the program, so that a run by hand is the same as a run by ctest).
include_guard(GLOBAL)
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Test)
find_program(ZM_XVFB_RUN xvfb-run)
set(ZM_WIDGET_TEST_MAIN ${CMAKE_CURRENT_LIST_DIR}/WidgetTestMain.cpp CACHE INTERNAL "")
set(ZM_WEBENGINE_SANITIZER ${CMAKE_CURRENT_LIST_DIR}/WebEngineSanitizer.cpp CACHE INTERNAL "")

function(zm_add_widget_test name)
    cmake_parse_arguments(ARG "WEBENGINE" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${ZM_WIDGET_TEST_MAIN})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE zm_options zm_test_support ${ARG_LIBS}
        Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock)
    set(environment "QT_QPA_PLATFORM=offscreen")
    if(ARG_WEBENGINE)
        set(environment "QTWEBENGINE_DISABLE_SANDBOX=1")
        if(ZM_SANITIZE)
            # X's GL stack (mesa, loaded for the xcb platform) leaks where LeakSanitizer
            # cannot name it; WebEngine runs on the offscreen platform as well.
            target_sources(${name} PRIVATE ${ZM_WEBENGINE_SANITIZER})
            list(APPEND environment "QT_QPA_PLATFORM=offscreen")
        elseif(ZM_XVFB_RUN)
            set_target_properties(${name} PROPERTIES
                CROSSCOMPILING_EMULATOR "${ZM_XVFB_RUN};-a;-s;-screen 0 1280x1024x24")
            list(APPEND environment "QT_QPA_PLATFORM=xcb")
        else()
            list(APPEND environment "QT_QPA_PLATFORM=offscreen")
        endif()
    endif()
    # The list survives the trip through the discovery script only with its ";" escaped.
    string(REPLACE ";" "\\;" environment "${environment}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 120 ENVIRONMENT "${environment}")
endfunction()
