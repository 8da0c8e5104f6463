# Debian packages (cpack -G DEB in the build folder, or the `package` target):
#   liborvane2     the shared library and its message catalogues
#   liborvane-dev  the header, the development link and orvane.pc
#   orvane         the orvane command and the driver modules (sim, freeipmi)
# Install them with apt-get install ./liborvane2_*.deb ./liborvane-dev_*.deb ./orvane_*.deb
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "Orvane developers <orvane@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "IPMI FRU inventory: read, edit, commit and save FRU images")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL library development tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME liborvane2)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME liborvane-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "liborvane2 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME orvane)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION admin)
# The command keeps its messages in the library package's catalogues.
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "liborvane2 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "Orvane IPMI FRU inventory library")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "Orvane IPMI FRU inventory library: development files")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "The orvane command and its driver modules")
include(CPack)
