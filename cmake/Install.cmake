# Installs the programs, the codec library with its headers and a CMake package, and where a
# Linux desktop looks for them the viewer's desktop entry and icon, the VQZ file type and the
# thumbnailer that runs vqzconv.
# Refreshing the desktop's databases is the packager's part: the files only need to be there.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS vqz2image vqzconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(VqzPngLibraries pngimage pnglang pngzlib platform_core platform_graphics vqz_warnings)
foreach(Library pngimage pnglang pngzlib platform_core platform_graphics)
  set_target_properties(${Library} PROPERTIES OUTPUT_NAME vqz_${Library})
endforeach()
install(TARGETS ${VqzPngLibraries} EXPORT VqzPngTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES png/pngimage.h png/pnglang.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vqz/png)
install(FILES platform/core/classes.h platform/core/limits.h platform/core/sysutils.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vqz/platform/core)
install(FILES platform/graphics/gdi.h platform/graphics/graphics.h platform/graphics/bmpfile.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vqz/platform/graphics)

set(VqzPngPackageDir ${CMAKE_INSTALL_LIBDIR}/cmake/VqzPng)
install(EXPORT VqzPngTargets NAMESPACE VqzPng:: DESTINATION ${VqzPngPackageDir})
configure_package_config_file(cmake/VqzPngConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VqzPngConfig.cmake INSTALL_DESTINATION ${VqzPngPackageDir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VqzPngConfigVersion.cmake
  VERSION 1.0 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VqzPngConfig.cmake ${CMAKE_BINARY_DIR}/VqzPngConfigVersion.cmake
        cmake/FindISAL.cmake DESTINATION ${VqzPngPackageDir})

# The desktop's icon is the program's own, written as PNG by vqzconv at build time.
set(DesktopIcon ${CMAKE_BINARY_DIR}/vqz2image.png)
add_custom_command(OUTPUT ${DesktopIcon}
  COMMAND vqzconv convert ${PROJECT_SOURCE_DIR}/app/mainicon.bmp ${DesktopIcon}
  DEPENDS vqzconv ${PROJECT_SOURCE_DIR}/app/mainicon.bmp
  COMMENT "Writing the desktop icon")
add_custom_target(desktop_icon ALL DEPENDS ${DesktopIcon})
install(FILES app/vqz2image.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES app/vqz2image-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME vqz2image.xml)
install(FILES tools/vqz2image.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES ${DesktopIcon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
