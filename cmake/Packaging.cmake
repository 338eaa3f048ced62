# The .deb: `cpack -G DEB` in a build folder packs what `cmake --install` puts under the
# prefix, installed under /usr. Every program installs itself where its target is defined
# (pelorin, panelsim, pelorin-capture and the corlink tool, target corlink_tool), and so
# does the Python package (python/).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelorin)
set(CPACK_PACKAGE_VENDOR "Pelorin developers")
set(CPACK_PACKAGE_CONTACT "Pelorin developers <pelorin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Touch panel raw data viewer (pelorin), panel emulator (panelsim) and the corlink library")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# The run-time dependencies come from the programs' and the library's own links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The Python module needs its interpreter and numpy, which no shared-library link names.
if(PELORIN_PYTHON_DEB_DEPENDS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS ${PELORIN_PYTHON_DEB_DEPENDS})
endif()
# The udev rule lies under /etc: a configuration file the administrator may change.
if(IS_ABSOLUTE ${CORLINK_UDEV_RULES_DIR} AND CORLINK_UDEV_RULES_DIR MATCHES "^/etc/")
  file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "${CORLINK_UDEV_RULES_DIR}/70-corlink.rules\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
endif()
include(CPack)
