# The source lists, written once. The two builds (CMakeLists.txt) and the
# fuzz project (tests/fuzz) take them from here; paths are relative to the
# project's root.

# The launcher's logic: plain C++ for every build.
set(TRELVO_LOGIC_SOURCES
  src/config/ConfigFile.cpp
  src/config/Colour.cpp
  src/config/ProfileText.cpp
  src/config/TextConversions.cpp
  src/config/Utf8.cpp
  src/launch/Action.cpp
  src/launch/Buttons.cpp
  src/launch/CommandLine.cpp
  src/launch/Startup.cpp
  src/window/ImageChecks.cpp
  src/window/PictureMath.cpp
  src/window/Splash.cpp
)
# Off Windows, the logic's code-page and lower-case seams are its own: iconv
# and the case table generated from the Unicode data.
set(TRELVO_LOGIC_NATIVE_SOURCES
  src/config/CodePageIconv.cpp
  src/config/LowerCase.cpp
  src/config/LowerCaseTable.cpp
)

# The medium checker (trelvo-media), built for both: natively as
# dist/trelvo-media, for Windows as dist/trelvo-media.exe. Each build adds
# its system seam (media/Platform.h).
set(TRELVO_MEDIA_SOURCES
  src/media/Check.cpp
  src/media/Discovery.cpp
  src/media/DryRun.cpp
  src/media/Medium.cpp
  src/media/Report.cpp
)
set(TRELVO_MEDIA_NATIVE_SOURCES
  src/media/NativePlatform.cpp
  src/media/MediumFiles.cpp
)
