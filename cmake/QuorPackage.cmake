# The Debian package: `cpack -G DEB` in a build folder gives convertquor_<version>_amd64.deb with the
# quor tool, its manual page and bash completion, the library (static, with its headers and CMake
# package: docs/python.md says why there is no shared one), the Python package and the documents,
# installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME convertquor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert PC data to Fujitsu host record encodings and back")
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ConvertQuor turns CSV files into the fixed-layout records of a Fujitsu mainframe, as a
layout file or a COBOL copybook describes them (zoned and packed decimal, binary, EBCDIC with
katakana, JEF kanji with a site's gaiji), and reads such records back.
.
This package holds the quor command with its manual page and bash completion, the C++ library
(static, with its headers and CMake package), and the convertquor Python package, which reads host
record files into pandas DataFrames, writes them back, and reads them across a Dask cluster.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ConvertQuor developers <convertquor@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
# The libraries quor and the Python extension link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUOR_BUILD_PYTHON)
  # The extension is built for one Python version; the package's modules need NumPy and pandas.
  set(quor_python ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR})
  math(EXPR quor_python_next "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "python3 (>= ${quor_python}), python3 (<< ${Python3_VERSION_MAJOR}.${quor_python_next}), python3-numpy, python3-pandas")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-dask, python3-distributed")
endif()
include(CPack)
