# Native build: the logic against the in-memory host, under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(trelvo_logic PRIVATE ${SANITIZE})

find_package(GTest REQUIRED)
add_executable(unit_tests
  src/platform/MemoryHost.cpp
  tests/unit/ConversionsTest.cpp
  tests/unit/ProfileTextTest.cpp
  tests/unit/ConfigFileTest.cpp
  tests/unit/StartupTest.cpp
  tests/unit/SplashTest.cpp
  tests/unit/PictureMathTest.cpp
)
target_include_directories(unit_tests PRIVATE tests)
target_compile_options(unit_tests PRIVATE ${SANITIZE})
target_link_options(unit_tests PRIVATE ${SANITIZE})
target_link_libraries(unit_tests PRIVATE trelvo_logic GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)
