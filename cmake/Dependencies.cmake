# Third-party libraries, all from Debian packages (see scripts/packages.txt).
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavcodec libavformat libavutil libavfilter libswscale libswresample libavdevice)
pkg_check_modules(DVD REQUIRED IMPORTED_TARGET dvdnav dvdread)
# Font family names for the subtitle filter's style (a font file is chosen by path).
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
find_package(SQLiteCpp REQUIRED)
find_package(pugixml REQUIRED)
find_package(fmt REQUIRED)
find_package(CLI11 REQUIRED)
find_package(Threads REQUIRED)
find_path(SIMPLEINI_INCLUDE_DIR SimpleIni.h REQUIRED)
add_library(simpleini INTERFACE)
target_include_directories(simpleini SYSTEM INTERFACE ${SIMPLEINI_INCLUDE_DIR})
