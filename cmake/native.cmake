# Native build: the logic against the in-memory host, under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(trelvo_logic PRIVATE ${SANITIZE})
# Lower case from the table generated from the Unicode data.
target_sources(trelvo_logic PRIVATE src/config/LowerCase.cpp src/config/LowerCaseTable.cpp)

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
  tests/unit/PictureMathTest.cpp
)
target_include_directories(unit_tests PRIVATE tests)
target_compile_options(unit_tests PRIVATE ${SANITIZE})
target_link_options(unit_tests PRIVATE ${SANITIZE})
target_link_libraries(unit_tests PRIVATE test_support GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)

# The committed case table is what tools/make-lowercase-table.py makes of the
# Unicode data installed (Debian's unicode-data).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME lowercase_table_current
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make-lowercase-table.py --check)
