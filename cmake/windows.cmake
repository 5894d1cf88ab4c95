# Windows build: dist/trelvo.exe, self-contained, plus the Windows-side tests
# that run under Wine.

# Oldest supported Windows: 7 SP1.
set(TRELVO_WINVER 0x0601)
set(TRELVO_WIN_DEFINES UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=${TRELVO_WINVER} WINVER=${TRELVO_WINVER})
set(TRELVO_SIZE_FLAGS -Os -ffunction-sections -fdata-sections)
set(TRELVO_LINK_FLAGS -municode -static -s -Wl,--gc-sections
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1)

target_compile_definitions(trelvo_logic PRIVATE ${TRELVO_WIN_DEFINES})
target_compile_options(trelvo_logic PRIVATE ${TRELVO_SIZE_FLAGS})

# Branding: -DTRELVO_ICON=/path/product.ico -DTRELVO_DESCRIPTION="Product Setup"
set(TRELVO_ICON "${CMAKE_SOURCE_DIR}/resources/trelvo.ico" CACHE FILEPATH "Built-in window and file icon")
set(TRELVO_DESCRIPTION "Trelvo installation media launcher" CACHE STRING "File description in the version record")

add_library(trelvo_platform STATIC
  src/platform/Win32Host.cpp
  src/platform/Win32Imaging.cpp
  src/platform/Win32Window.cpp
)
target_include_directories(trelvo_platform PUBLIC src)
target_compile_definitions(trelvo_platform PUBLIC ${TRELVO_WIN_DEFINES})
target_compile_options(trelvo_platform PRIVATE ${TRELVO_SIZE_FLAGS})

add_executable(trelvo WIN32 src/platform/WinMain.cpp resources/trelvo.rc)
target_compile_options(trelvo PRIVATE ${TRELVO_SIZE_FLAGS})
target_link_options(trelvo PRIVATE ${TRELVO_LINK_FLAGS})
target_link_libraries(trelvo PRIVATE trelvo_platform trelvo_logic)
set_source_files_properties(resources/trelvo.rc PROPERTIES
  OBJECT_DEPENDS "${TRELVO_ICON};${CMAKE_SOURCE_DIR}/resources/trelvo.manifest")
# Resource-script strings: backslashes and quotes escaped, a quote doubled.
string(REPLACE "\\" "\\\\" TRELVO_ICON_RC "${TRELVO_ICON}")
string(REPLACE "\"" "\"\"" TRELVO_DESCRIPTION_RC "${TRELVO_DESCRIPTION}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/branding.h CONTENT
  "#define TRELVO_ICON \"${TRELVO_ICON_RC}\"\n#define TRELVO_DESCRIPTION \"${TRELVO_DESCRIPTION_RC}\"\n")
target_include_directories(trelvo PRIVATE ${CMAKE_BINARY_DIR})
set(TRELVO_OUTPUT_DIR "${CMAKE_SOURCE_DIR}/dist" CACHE PATH "Where the launcher is written")
set_target_properties(trelvo PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${TRELVO_OUTPUT_DIR}")
add_custom_command(TARGET trelvo POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E echo "dist/trelvo.exe: $<TARGET_FILE_NAME:trelvo>"
  COMMAND stat -c "trelvo.exe size: %s bytes" $<TARGET_FILE:trelvo>)

# The medium checker for the team's Windows PC: a console program built like
# the launcher, decoding with the launcher's own imaging code. CLI11 and
# nlohmann-json are header-only: only their two folders are made visible to
# the cross compiler, never the rest of the build machine's headers.
find_path(TRELVO_CLI11_INCLUDE CLI/CLI.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(TRELVO_JSON_INCLUDE nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(TRELVO_HEADER_ONLY ${CMAKE_BINARY_DIR}/header-only)
file(MAKE_DIRECTORY ${TRELVO_HEADER_ONLY})
file(CREATE_LINK ${TRELVO_CLI11_INCLUDE}/CLI ${TRELVO_HEADER_ONLY}/CLI SYMBOLIC)
file(CREATE_LINK ${TRELVO_JSON_INCLUDE}/nlohmann ${TRELVO_HEADER_ONLY}/nlohmann SYMBOLIC)
add_library(trelvo_media STATIC ${TRELVO_MEDIA_SOURCES} src/platform/Win32MediaPlatform.cpp)
target_include_directories(trelvo_media SYSTEM PUBLIC ${TRELVO_HEADER_ONLY})
target_link_libraries(trelvo_media PUBLIC trelvo_platform trelvo_logic)
add_executable(trelvo-media src/media/main.cpp)
target_link_options(trelvo-media PRIVATE -municode -static -s
    -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1)
target_link_libraries(trelvo-media PRIVATE trelvo_media)
set_target_properties(trelvo-media PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${TRELVO_OUTPUT_DIR}")

# The checker's table of media, run by the Windows build under Wine.
add_executable(media_check_windows tests/media/media_check_windows.cpp tests/media/MediaCases.cpp)
target_include_directories(media_check_windows PRIVATE tests)
target_link_options(media_check_windows PRIVATE -municode -static)
target_link_libraries(media_check_windows PRIVATE trelvo_media)
add_test(NAME media_check_windows COMMAND media_check_windows)

# Windows-side tests: the system's own routines (profiles, images, processes).
add_executable(windows_tests tests/windows/WindowsTests.cpp)
target_include_directories(windows_tests PRIVATE tests)
target_link_options(windows_tests PRIVATE -municode -static)
target_link_libraries(windows_tests PRIVATE trelvo_platform trelvo_logic)
add_test(NAME windows_tests COMMAND windows_tests)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  add_subdirectory(tests/e2e)
endif()

# The shipped executable as a product team receives it: image flags, imports,
# version record, icon and size.
add_test(NAME release_checks COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/release/check_exe.py $<TARGET_FILE:trelvo>)

# No DLL planted on the medium is loaded into the launcher.
add_library(planted SHARED tests/hardening/planted.cpp)
set_target_properties(planted PROPERTIES PREFIX "")
target_link_options(planted PRIVATE -static)
add_executable(dll_planting tests/hardening/DllPlanting.cpp)
target_link_options(dll_planting PRIVATE -municode -static)
add_test(NAME dll_planting COMMAND dll_planting $<TARGET_FILE:trelvo> $<TARGET_FILE:planted>)
