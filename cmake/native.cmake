# Native build: the logic against the in-memory host, under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(trelvo_logic PRIVATE ${SANITIZE})
# Code pages through iconv, lower case from the table generated from the
# Unicode data.
target_sources(trelvo_logic PRIVATE ${TRELVO_LOGIC_NATIVE_SOURCES})

# Test support: the in-memory host, shared with the fuzz targets.
add_library(test_support STATIC tests/support/MemoryHost.cpp)
target_include_directories(test_support PUBLIC tests)
target_compile_options(test_support PRIVATE ${SANITIZE})
target_link_libraries(test_support PUBLIC trelvo_logic)

find_package(GTest REQUIRED)
add_executable(unit_tests
  tests/unit/ActionTest.cpp
  tests/unit/CommandLineTest.cpp
  tests/unit/ConversionsTest.cpp
  tests/unit/MemoryHostTest.cpp
  tests/unit/ProfileTextTest.cpp
  tests/unit/ConfigFileTest.cpp
  tests/unit/StartupTest.cpp
  tests/unit/SplashTest.cpp
  tests/unit/ImageChecksTest.cpp
  tests/unit/PictureMathTest.cpp
)
target_include_directories(unit_tests PRIVATE tests)
target_compile_options(unit_tests PRIVATE ${SANITIZE})
target_link_options(unit_tests PRIVATE ${SANITIZE})
target_link_libraries(unit_tests PRIVATE test_support GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)

# The medium checker: the launcher's logic over the medium's files, pictures
# decoded by gdk-pixbuf. Built with the sanitizers like everything here.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GDK_PIXBUF REQUIRED IMPORTED_TARGET gdk-pixbuf-2.0)
find_package(CLI11 CONFIG REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
# Linux alone drives Debian's tools: preview (Wine), iso (xorriso), sign
# (osslsigncode).
add_library(trelvo_media STATIC ${TRELVO_MEDIA_SOURCES} ${TRELVO_MEDIA_NATIVE_SOURCES}
  src/media/Subprocess.cpp src/media/DiscImage.cpp src/media/Iso.cpp src/media/Preview.cpp src/media/Signing.cpp)
target_compile_options(trelvo_media PRIVATE ${SANITIZE})
target_link_libraries(trelvo_media PUBLIC trelvo_logic nlohmann_json::nlohmann_json PkgConfig::GDK_PIXBUF)
add_executable(trelvo-media src/media/main.cpp src/media/DiscCommands.cpp)
target_compile_options(trelvo-media PRIVATE ${SANITIZE})
target_link_options(trelvo-media PRIVATE ${SANITIZE})
target_link_libraries(trelvo-media PRIVATE trelvo_media CLI11::CLI11)
set_target_properties(trelvo-media PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_SOURCE_DIR}/dist")

# The checker's tests: the table of media (shared with the Windows build),
# bad input given to the program itself.
add_executable(media_tests tests/media/MediaCases.cpp tests/unit/MediaCheckTest.cpp tests/unit/MediaCommandTest.cpp
  tests/media/DiscImageTest.cpp tests/media/SigningTest.cpp)
target_compile_definitions(media_tests PRIVATE TRELVO_MEDIA_EXE="$<TARGET_FILE:trelvo-media>")
add_dependencies(media_tests trelvo-media)
target_include_directories(media_tests PRIVATE tests)
target_compile_options(media_tests PRIVATE ${SANITIZE})
target_link_options(media_tests PRIVATE ${SANITIZE})
target_link_libraries(media_tests PRIVATE trelvo_media GTest::gtest_main)
gtest_discover_tests(media_tests DISCOVERY_TIMEOUT 60)
# The committed case table is what tools/make-lowercase-table.py makes of the
# Unicode data installed (Debian's unicode-data).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME lowercase_table_current
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make-lowercase-table.py --check)
