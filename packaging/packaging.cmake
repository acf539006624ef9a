# What `cmake --install` puts where, and the Debian package cpack makes of it.
set(KIVO_PACKAGING ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

install(TARGETS kivo kivo-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS kivo-batch-figures LIBRARY DESTINATION ${KIVO_MODULE_DIR})
install(FILES ${KIVO_HELP_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/kivo)
file(GLOB KIVO_EXAMPLE_FILES examples/*.esr examples/*.txt examples/*.DSC examples/*.DTA
  examples/*.XGF examples/*.YGF examples/*.par examples/*.spc examples/*.jdx examples/README.md)
install(FILES ${KIVO_EXAMPLE_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/kivo/examples)
install(FILES ${KIVO_PACKAGING}/kivo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KIVO_PACKAGING}/kivo.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${KIVO_PACKAGING}/kivo-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME kivo.xml)
install(FILES ${KIVO_PACKAGING}/example.kivo.Kivo.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KIVO_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kivo)

# The manual pages and the changelog are installed compressed, as Debian
# wants them: gzip -n keeps the name and time out, so the bytes are the same
# on every build.
set(KIVO_GZIPPED)
foreach(page kivo.1 kivo-batch.1 changelog)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND gzip -9n -c ${KIVO_PACKAGING}/${page} > ${gz}
    DEPENDS ${KIVO_PACKAGING}/${page} VERBATIM)
  list(APPEND KIVO_GZIPPED ${gz})
endforeach()
add_custom_target(kivo_gzipped ALL DEPENDS ${KIVO_GZIPPED})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kivo.1.gz ${CMAKE_CURRENT_BINARY_DIR}/kivo-batch.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kivo)

# cpack -G DEB: the dependencies are found by dpkg-shlibdeps from the
# libraries the programs link, so they name Debian's own Qt 6 and QCustomPlot.
# cpack strips the programs itself and puts what it strips off (the debug
# symbols, when the build made any) into kivo-dbgsym, as dh_strip would.
set(KIVO_MAINTAINER "Kivo developers <developers@kivo.example>"
  CACHE STRING "Maintainer of the Debian package, with an address")
set(CPACK_PACKAGE_NAME kivo)
set(CPACK_PACKAGE_VENDOR "Kivo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-driven treatment of ESR spectra")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kivo overlays up to 20 ESR (electron spin resonance) spectra on one chart and
treats them from the keyboard: base line, double integration and spin count,
normalisation, field calibration on ruby or Mn2+ lines, subtraction,
smoothing and point editing. Saved files carry their treatment history.
.
It reads its own .esr files, column files, the spectrometer's BES3T and
ESP/WinEPR files and JCAMP-DX files, and writes .esr and JCAMP-DX files.
kivo-batch applies the same treatments to many files from the command line,
with the window's numbers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KIVO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The font a figure for print embeds; without it the desktop's own is taken.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-dejavu-core)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
include(CPack)
