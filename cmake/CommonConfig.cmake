# Settings shared by every target of the project, carried by one INTERFACE library.
option(ZELKOR_SANITIZE "Build with -fsanitize=address,undefined" OFF)
option(ZELKOR_TSAN "Build with -fsanitize=thread (not together with ZELKOR_SANITIZE)" OFF)
option(ZELKOR_FATAL_WARNINGS "Treat compiler warnings as errors" OFF)
if(ZELKOR_SANITIZE AND ZELKOR_TSAN)
    message(FATAL_ERROR "ZELKOR_SANITIZE and ZELKOR_TSAN exclude each other: choose one")
endif()

# Standard C++ only, no GNU dialect.
set(CMAKE_CXX_EXTENSIONS OFF)

add_library(zelkor_common INTERFACE)
target_compile_features(zelkor_common INTERFACE cxx_std_20)
target_compile_options(zelkor_common INTERFACE
    -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast -Wcast-qual)
# Bytes and text meet only where the code says how: no implicit QByteArray <-> QString or
# const char* conversions.
target_compile_definitions(zelkor_common INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
if(ZELKOR_FATAL_WARNINGS)
    target_compile_options(zelkor_common INTERFACE -Werror)
endif()
if(ZELKOR_SANITIZE)
    target_compile_options(zelkor_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(zelkor_common INTERFACE -fsanitize=address,undefined)
endif()
if(ZELKOR_TSAN)
    target_compile_options(zelkor_common INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(zelkor_common INTERFACE -fsanitize=thread)
endif()

# zelkor_add_test(<name> [GUI] SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable per subsystem. GUI tests get a QApplication on the offscreen
# platform; the others a QCoreApplication. Both run an event loop, which the waits need.
function(zelkor_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_GUI)
        target_link_libraries(${name} PRIVATE zelkor_testmain_gui)
    else()
        target_link_libraries(${name} PRIVATE zelkor_testmain_core)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} zelkor_testsupport zelkor_common
        GTest::gtest)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1;TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/support/tsan.supp"
        TIMEOUT 600)
endfunction()
