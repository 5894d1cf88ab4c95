# Windows build: dist/trelvo.exe, self-contained, plus the Windows-side tests
# that run under Wine and (on demand) the start-up benchmark.

# The oldest supported Windows, written here only: 7 SP1. It sets both the
# headers' view of the system and the subsystem version in every image.
set(TRELVO_WINVER 0x0601)
set(TRELVO_SUBSYSTEM_MAJOR 6)
set(TRELVO_SUBSYSTEM_MINOR 1)

# What every Windows program of the project is built with (the launcher, the
# Windows-side tests and drivers, the benchmark programs): link it.
# (TRELVO_WIN_DEFINES are its definitions, for a target that takes only those.)
set(TRELVO_WIN_DEFINES UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=${TRELVO_WINVER} WINVER=${TRELVO_WINVER})
add_library(trelvo_win32_settings INTERFACE)
target_compile_definitions(trelvo_win32_settings INTERFACE ${TRELVO_WIN_DEFINES})
# Nothing in an image depends on where it was built: source and build paths
# are written relative (assert texts, __FILE__), and the image's time stamp
# is the source's date (below).
target_compile_options(trelvo_win32_settings INTERFACE $<$<COMPILE_LANGUAGE:C,CXX>:
  -ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/ -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>)
target_link_options(trelvo_win32_settings INTERFACE
  -static -Wl,--dynamicbase -Wl,--nxcompat
  -Wl,--major-subsystem-version,${TRELVO_SUBSYSTEM_MAJOR}
  -Wl,--minor-subsystem-version,${TRELVO_SUBSYSTEM_MINOR}
  $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-municode>)

# Reproducible images: two builds of one commit give the same bytes.
# - The linker writes SOURCE_DATE_EPOCH as the PE header's time stamp (GNU ld
#   does, Debian 12's 2.40 included; the PE checksum follows from the bytes,
#   so it is reproducible too); every link runs through cmake/with-source-date, which
#   sets it to the commit's time unless the caller set it (a source tree
#   outside git gets 0, the same every time).
# - Static libraries are written without member dates, owners or modes (ar D),
#   whatever the toolchain's default.
# - windres writes no date into the resources; prefix maps are above.
set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK
  "${CMAKE_CURRENT_LIST_DIR}/with-source-date ${CMAKE_SOURCE_DIR}")
set(CMAKE_CXX_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")

# What keeps the shipped launcher small: size-optimised, unused sections
# dropped, stripped. The benchmark's programs take the same.
add_library(trelvo_win32_size INTERFACE)
target_compile_options(trelvo_win32_size INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Os -ffunction-sections -fdata-sections>)
target_link_options(trelvo_win32_size INTERFACE -s -Wl,--gc-sections)

target_link_libraries(trelvo_logic PRIVATE trelvo_win32_settings trelvo_win32_size)

# Code pages and lower case through the system, so the launcher carries no
# case table.
target_sources(trelvo_logic PRIVATE src/platform/Win32LowerCase.cpp src/platform/Win32CodePage.cpp)

# Branding: -DTRELVO_ICON=/path/product.ico -DTRELVO_DESCRIPTION="Product Setup"
set(TRELVO_ICON "${CMAKE_SOURCE_DIR}/resources/trelvo.ico" CACHE FILEPATH "Built-in window and file icon")
set(TRELVO_DESCRIPTION "Trelvo installation media launcher" CACHE STRING "File description in the version record")

add_library(trelvo_platform STATIC
  src/platform/Win32Host.cpp
  src/platform/Win32Imaging.cpp
  src/platform/Win32System.cpp
  src/platform/Win32Window.cpp
)
target_include_directories(trelvo_platform PUBLIC src)
target_link_libraries(trelvo_platform PUBLIC trelvo_win32_settings PRIVATE trelvo_win32_size)

# The version record and the manifest take the project's version
# (CMakeLists.txt). The text form is major.minor.revision as 2.03.0002.
if(NOT PROJECT_VERSION_PATCH EQUAL 0)
  message(FATAL_ERROR "The version's third part is always 0 (major.minor.0.revision): ${PROJECT_VERSION}")
endif()
string(LENGTH "0${PROJECT_VERSION_MINOR}" _length)
math(EXPR _start "${_length} - 2")
string(SUBSTRING "0${PROJECT_VERSION_MINOR}" ${_start} 2 TRELVO_VERSION_MINOR2)
string(LENGTH "000${PROJECT_VERSION_TWEAK}" _length)
math(EXPR _start "${_length} - 4")
string(SUBSTRING "000${PROJECT_VERSION_TWEAK}" ${_start} 4 TRELVO_VERSION_REVISION4)
set(TRELVO_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${TRELVO_VERSION_MINOR2}.${TRELVO_VERSION_REVISION4}")
configure_file(resources/trelvo.manifest.in ${CMAKE_BINARY_DIR}/trelvo.manifest @ONLY)

add_executable(trelvo WIN32 src/platform/WinMain.cpp resources/trelvo.rc)
target_link_libraries(trelvo PRIVATE trelvo_platform trelvo_logic trelvo_win32_settings trelvo_win32_size)
set_source_files_properties(resources/trelvo.rc PROPERTIES
  OBJECT_DEPENDS "${TRELVO_ICON};${CMAKE_BINARY_DIR}/trelvo.manifest;${CMAKE_BINARY_DIR}/branding.h")
# Resource-script strings: backslashes and quotes escaped, a quote doubled.
string(REPLACE "\\" "\\\\" TRELVO_ICON_RC "${TRELVO_ICON}")
string(REPLACE "\\" "\\\\" TRELVO_MANIFEST_RC "${CMAKE_BINARY_DIR}/trelvo.manifest")
string(REPLACE "\"" "\"\"" TRELVO_DESCRIPTION_RC "${TRELVO_DESCRIPTION}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/branding.h CONTENT
  "#define TRELVO_ICON \"${TRELVO_ICON_RC}\"
#define TRELVO_DESCRIPTION \"${TRELVO_DESCRIPTION_RC}\"
#define TRELVO_MANIFEST \"${TRELVO_MANIFEST_RC}\"
#define TRELVO_VERSION_BINARY ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}
#define TRELVO_VERSION_TEXT \"${TRELVO_VERSION_TEXT}\"
")
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
add_library(trelvo_media STATIC ${TRELVO_MEDIA_SOURCES} src/platform/Win32MediaPlatform.cpp
  src/platform/Win32MediumFiles.cpp)
target_include_directories(trelvo_media SYSTEM PUBLIC ${TRELVO_HEADER_ONLY})
target_link_libraries(trelvo_media PUBLIC trelvo_platform trelvo_logic trelvo_win32_settings PRIVATE trelvo_win32_size)
add_executable(trelvo-media src/media/main.cpp)
target_link_libraries(trelvo-media PRIVATE trelvo_media trelvo_win32_size)
set_target_properties(trelvo-media PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${TRELVO_OUTPUT_DIR}")

# The checker's table of media, run by the Windows build under Wine.
add_executable(media_check_windows tests/media/media_check_windows.cpp tests/media/MediaCases.cpp)
target_include_directories(media_check_windows PRIVATE tests)
target_link_libraries(media_check_windows PRIVATE trelvo_media)
add_test(NAME media_check_windows COMMAND media_check_windows)

# Windows-side tests: the system's own routines (profiles, images, processes).
# The generated case table comes along to be compared with the system's mapping.
add_executable(windows_tests tests/windows/WindowsTests.cpp src/config/LowerCaseTable.cpp)
target_include_directories(windows_tests PRIVATE tests)
target_link_libraries(windows_tests PRIVATE trelvo_platform trelvo_logic trelvo_win32_settings)
add_test(NAME windows_tests COMMAND windows_tests)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  add_subdirectory(tests/e2e)
endif()

# The shipped executable as a product team receives it: image flags, imports
# (the window system is bound at run time, so only kernel32 and the C
# runtime), oldest Windows, version record, icon, size, and the README
# naming the version.
add_test(NAME release_checks COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/release/check_exe.py $<TARGET_FILE:trelvo>
  --version ${PROJECT_VERSION} --imports kernel32.dll,msvcrt.dll --readme ${CMAKE_SOURCE_DIR}/README.md
  --subsystem ${TRELVO_SUBSYSTEM_MAJOR}.${TRELVO_SUBSYSTEM_MINOR})

# The release archive (scripts/release, tools/pack-release.py) takes the
# version in its displayed form and the executables from here. The checker
# is listed when the build has its target; a source that holds the checker
# and a build without it make the release fail.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/release.txt CONTENT
"version ${TRELVO_VERSION_TEXT}
launcher $<TARGET_FILE:trelvo>
checker $<$<TARGET_EXISTS:trelvo-media>:$<TARGET_FILE:trelvo-media>>
targets trelvo$<$<TARGET_EXISTS:trelvo-media>: trelvo-media>
")

# Two builds of the launcher, the checker and a branded launcher, from two
# clones in two folders at two moments under two umasks, give the same bytes.
# It builds with both cores, so it runs alone.
add_test(NAME reproducible_build COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/release/reproducible.py
  ${CMAKE_SOURCE_DIR} --checker=$<IF:$<TARGET_EXISTS:trelvo-media>,yes,no>)
set_tests_properties(reproducible_build PROPERTIES PROCESSORS 2 TIMEOUT 900)

# The release archive packed from this build: its listing, SHA256SUMS, the
# notices, fixed times and modes, the same bytes when packed again; and
# scripts/release refusing a tree with uncommitted changes.
add_test(NAME release_archive COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/release/check_archive.py
  --build ${CMAKE_BINARY_DIR} --source ${CMAKE_SOURCE_DIR})

# The start-up benchmark (bench/README.md): built on demand by bench/run,
# with the launcher's own settings.
add_subdirectory(bench EXCLUDE_FROM_ALL)

# The media tool's Linux commands as a product team runs them: the disc image,
# the preview under Wine and the signature, on the launcher built here. The
# tool itself comes from the native build (dist/trelvo-media).
set(TRELVO_MEDIA_TOOL_TEST ${CMAKE_SOURCE_DIR}/tests/media/disc_tools_test.py
  --tool ${CMAKE_SOURCE_DIR}/dist/trelvo-media --launcher $<TARGET_FILE:trelvo> --examples ${CMAKE_SOURCE_DIR}/examples)
add_test(NAME media_iso COMMAND python3 ${TRELVO_MEDIA_TOOL_TEST} iso)
add_test(NAME media_preview COMMAND python3 ${TRELVO_MEDIA_TOOL_TEST} preview)
add_test(NAME media_sign COMMAND python3 ${TRELVO_MEDIA_TOOL_TEST} sign
  --release-check ${CMAKE_SOURCE_DIR}/tests/release/check_exe.py
  --version ${PROJECT_VERSION} --imports kernel32.dll,msvcrt.dll --readme ${CMAKE_SOURCE_DIR}/README.md
  --subsystem ${TRELVO_SUBSYSTEM_MAJOR}.${TRELVO_SUBSYSTEM_MINOR})
# The disc end to end: the image extracted and mapped as CD-ROM drive D:, the
# launcher started at D:\ as AutoPlay would, a button starting the disc's probe.
add_test(NAME media_disc COMMAND python3 ${TRELVO_MEDIA_TOOL_TEST} disc
  --disc-driver $<TARGET_FILE:disc_driver> --probe $<TARGET_FILE:e2e_probe>)
# These photograph the screen and press keys: nothing else on the desktop meanwhile.
set_tests_properties(media_preview media_sign media_disc PROPERTIES RESOURCE_LOCK trelvo_desktop TIMEOUT 600)
