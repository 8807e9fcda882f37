# `make package`: Debian packages made by CPack from the install rules.
#   velxmln          the shared library (with its SONAME), headers, CMake package, pkg-config
#                    file, the velxmln command and its man page, the user guide
#   python3-velxmln  the Python package, for Debian's python3
# Their dependencies on Debian's packages come from dpkg-shlibdeps, which reads the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velxmln)
set(CPACK_PACKAGE_VENDOR "VelXmlN developers")
set(CPACK_PACKAGE_CONTACT "VelXmlN developers <dev@velxmln.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description below starts with its own summary line; CPackDeb puts the common
# summary in front unless it is CPack's default text, so it is set to exactly that.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL velxmln)
if(VELXMLN_BUILD_PYTHON)
  list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The python3 package needs the library from the other package; dpkg-shlibdeps finds it there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})

set(CPACK_DEBIAN_VELXMLN_PACKAGE_NAME velxmln)
set(CPACK_DEBIAN_VELXMLN_DESCRIPTION
  "C++ library for XML documents as element trees, its C interface and command
VelXmlN holds XML documents as trees of element records, reads and writes them
as exact, indented, escaped UTF-8, selects elements with a small XPath subset,
compares trees and scans large files with SAX. This package holds the shared
library, its headers, CMake package and pkg-config file, and the velxmln
command.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-velxmln)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_COMPONENT_PYTHON_DEPENDS velxmln)
set(CPACK_DEBIAN_PYTHON_DESCRIPTION
  "Python 3 package for XML documents as element trees (VelXmlN)
The velxmln package reads, edits, writes, compares and scans XML documents
with the VelXmlN library.")
# The module is built for one interpreter's ABI: it needs that Python 3 minor version.
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${VELXMLN_PYTHON_DEPENDS}")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

include(CPack)
