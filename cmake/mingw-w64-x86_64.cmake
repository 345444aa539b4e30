# Cross build for 64-bit Windows from Debian with MinGW-w64 (g++-mingw-w64-x86-64-posix: the
# POSIX thread model, which std::thread needs).
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The Qt kit for MinGW is looked for in QV_QT_MINGW_KIT (default: ../shared/qt6-mingw beside the
# repository). Without it only the Qt-free parts are built.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_TRIPLE}-windres)

set(QV_QT_MINGW_KIT "${CMAKE_CURRENT_LIST_DIR}/../../shared/qt6-mingw" CACHE PATH
    "Qt 6 built for MinGW-w64 (a folder with lib/cmake)")
get_filename_component(QV_QT_MINGW_KIT "${QV_QT_MINGW_KIT}" ABSOLUTE)

set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_TRIPLE})
if(EXISTS "${QV_QT_MINGW_KIT}/lib/cmake")
    list(APPEND CMAKE_FIND_ROOT_PATH "${QV_QT_MINGW_KIT}")
    list(APPEND CMAKE_PREFIX_PATH "${QV_QT_MINGW_KIT}")
    # moc, rcc and uic run on the build machine: Debian's own Qt 6 of the same version.
    set(QT_HOST_PATH /usr CACHE PATH "")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
endif()
# Header-only libraries come from the build machine (Debian has no MinGW builds of them). Their
# CMake packages are offered through a folder of links whose include/ holds their headers alone,
# so that no other header of the build machine comes into sight.
set(QV_HOST_HEADERS "${CMAKE_BINARY_DIR}/host-headers")
foreach(package_and_folder IN ITEMS "CLI11:CLI" "nlohmann_json:nlohmann")
    string(REPLACE ":" ";" package_and_folder "${package_and_folder}")
    list(GET package_and_folder 0 package)
    list(GET package_and_folder 1 folder)
    if(EXISTS "/usr/share/cmake/${package}" AND EXISTS "/usr/include/${folder}"
       AND NOT EXISTS "${QV_HOST_HEADERS}/include/${folder}")
        file(MAKE_DIRECTORY "${QV_HOST_HEADERS}/share/cmake" "${QV_HOST_HEADERS}/include")
        file(CREATE_LINK "/usr/share/cmake/${package}" "${QV_HOST_HEADERS}/share/cmake/${package}"
             SYMBOLIC)
        file(CREATE_LINK "/usr/include/${folder}" "${QV_HOST_HEADERS}/include/${folder}" SYMBOLIC)
    endif()
endforeach()
if(EXISTS "${QV_HOST_HEADERS}/include")
    list(APPEND CMAKE_FIND_ROOT_PATH "${QV_HOST_HEADERS}")
    list(APPEND CMAKE_PREFIX_PATH "${QV_HOST_HEADERS}")
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs this build's tests on the build machine under Wine (cmake/wine-run.sh puts the Qt
# kit's DLLs on Wine's path). scripts/test-windows.sh prepares the Wine prefix and the COM ports.
find_program(QV_WINE wine)
if(QV_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${QV_QT_MINGW_KIT}/bin")
endif()
