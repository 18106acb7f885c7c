# What an installation holds, laid out as the programs look for it: bin/ for
# the programs and share/velmora/ beside it for their data (the desktop
# program finds ../share/velmora from its own folder). The build folder
# mirrors that layout, so a program run from build/src finds build/share.
#
#   make install PREFIX=/usr DESTDIR=/tmp/stage    (cmake --install)
#   make package                                   (cpack -G DEB)

# Installing (and cpack's preinstall step) builds only what is installed, not
# the tests: the Makefile's install and package rules build those targets.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(VELMORA_APP_ID org.krv.Velmora)
set(VELMORA_SHARE ${PROJECT_BINARY_DIR}/share)

# The data: the default animation, the cell-pattern bitmaps and the manual.
# Copied at configure time; CMake configures again when one of them changes.
file(GLOB VELMORA_DATA_FILES RELATIVE ${PROJECT_SOURCE_DIR}/res
  ${PROJECT_SOURCE_DIR}/res/images/default.gif
  ${PROJECT_SOURCE_DIR}/res/CellPattern/*.bmp
  ${PROJECT_SOURCE_DIR}/res/help/*)
file(REMOVE_RECURSE ${VELMORA_SHARE}/velmora)
foreach(file IN LISTS VELMORA_DATA_FILES)
  configure_file(${PROJECT_SOURCE_DIR}/res/${file} ${VELMORA_SHARE}/velmora/${file} COPYONLY)
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/res/${VELMORA_APP_ID}.metainfo.xml.in
  ${VELMORA_SHARE}/metainfo/${VELMORA_APP_ID}.metainfo.xml @ONLY)

# Made while building, by the tools scripts/install-deps installs; a missing
# tool leaves its files out with a warning rather than stopping the build.
set(VELMORA_MADE_FILES)
find_program(VELMORA_HELP2MAN help2man)
find_program(VELMORA_RSVG rsvg-convert)
find_program(VELMORA_GZIP gzip REQUIRED)

# Compressed as Debian wants (-9n: no name or time stamp, so builds repeat)
# into folder/name.gz.
function(velmora_gzip source folder name)
  add_custom_command(OUTPUT ${folder}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${folder}/${name}
    COMMAND ${VELMORA_GZIP} -9nf ${folder}/${name}
    DEPENDS ${source} VERBATIM)
  list(APPEND VELMORA_MADE_FILES ${folder}/${name}.gz)
  set(VELMORA_MADE_FILES ${VELMORA_MADE_FILES} PARENT_SCOPE)
endfunction()

# The manual pages come from the programs' own --help and --version, so they
# cannot disagree with them. help2man runs each program by its bare name
# (found on PATH) so the page shows "velmora", not the build path.
set(VELMORA_MAN ${PROJECT_BINARY_DIR}/man)
if(VELMORA_HELP2MAN)
  foreach(program velmora velmora-cli)
    if(program STREQUAL "velmora")
      set(name "design a web page table with an animated GIF background")
    else()
      set(name "design Velmora's web page tables and animated GIFs without a display")
    endif()
    add_custom_command(OUTPUT ${VELMORA_MAN}/${program}.1
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_MAN}
      COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${program}>:$ENV{PATH}"
              QT_QPA_PLATFORM=offscreen
              ${VELMORA_HELP2MAN} --no-info --section=1 --name=${name}
              --output=${VELMORA_MAN}/${program}.1 ${program}
      DEPENDS ${program} VERBATIM)
    velmora_gzip(${VELMORA_MAN}/${program}.1 ${VELMORA_MAN}/gz ${program}.1)
    install(FILES ${VELMORA_MAN}/gz/${program}.1.gz DESTINATION share/man/man1)
  endforeach()
else()
  message(WARNING "help2man not found (scripts/install-deps installs it): no manual pages")
endif()

# The icon: the drawing for any size, and pictures of the usual sizes.
install(FILES ${PROJECT_SOURCE_DIR}/res/icons/${VELMORA_APP_ID}.svg
  DESTINATION share/icons/hicolor/scalable/apps)
if(VELMORA_RSVG)
  foreach(size 16 22 24 32 48 64 128 256 512)
    set(png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/${VELMORA_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${VELMORA_RSVG} -w ${size} -h ${size} -o ${png}
              ${PROJECT_SOURCE_DIR}/res/icons/${VELMORA_APP_ID}.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/res/icons/${VELMORA_APP_ID}.svg VERBATIM)
    list(APPEND VELMORA_MADE_FILES ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert not found (scripts/install-deps installs it): scalable icon only")
endif()

# velmora-cli's completion, from the animation table and the tool's --help.
set(VELMORA_COMPLETION ${PROJECT_BINARY_DIR}/completion/velmora-cli)
add_custom_command(OUTPUT ${VELMORA_COMPLETION}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/completion
  COMMAND velmora-bash-completion $<TARGET_FILE:velmora-cli> ${VELMORA_COMPLETION}
  DEPENDS velmora-bash-completion velmora-cli VERBATIM)
list(APPEND VELMORA_MADE_FILES ${VELMORA_COMPLETION})

velmora_gzip(${PROJECT_SOURCE_DIR}/res/debian/changelog ${PROJECT_BINARY_DIR}/doc changelog)

# Everything `make install` and `make package` need beyond the programs.
add_custom_target(velmora_installed_files ALL DEPENDS ${VELMORA_MADE_FILES})

install(TARGETS velmora velmora-cli RUNTIME DESTINATION bin)
install(DIRECTORY ${VELMORA_SHARE}/velmora/ DESTINATION share/velmora)
install(FILES ${PROJECT_SOURCE_DIR}/res/${VELMORA_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${VELMORA_SHARE}/metainfo/${VELMORA_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${VELMORA_COMPLETION} DESTINATION share/bash-completion/completions)
# A native Debian package keeps its changelog as changelog.gz.
install(FILES ${PROJECT_SOURCE_DIR}/res/debian/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
  DESTINATION share/doc/velmora)

# The Debian package: velmora_VERSION_ARCH.deb, its dependencies worked out
# from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR KRV)
set(CPACK_PACKAGE_CONTACT "KRV <velmora@krv.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "web page table designer with animated GIF backgrounds")
# The long description under the summary; CPack indents it and turns the
# empty line into the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Velmora designs a web page that holds one HTML table with an animated
background: set the table, pick and tune one of six procedural animations
(Moving Stripes, Rotating Stripes, Blinking Clouds, Flowing Clouds, Rubber
Clouds, Dynamic Picture), save it as an animated GIF, cut a cell pattern
so the animation shows only along the cell borders, and save the page set.

velmora-cli does the same work without a display.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not found from the binaries: the browser's helper process, which the Qt
# library that loads it does not depend on.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
include(CPack)
