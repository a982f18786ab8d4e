# The Debian package: cpack -G DEB in the build folder makes
# satvet_<version>_<architecture>.deb, holding what the install rules install.
set(CPACK_PACKAGE_NAME satvet)
set(CPACK_PACKAGE_VENDOR "satvet developers")
set(CPACK_PACKAGE_CONTACT "satvet developers <maintainers@users.noreply.c-seed-fd2b533b.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check that a SAT solver's assignment satisfies a CNF formula")
set(CPACK_PACKAGE_DESCRIPTION "satvet reads a propositional formula in DIMACS CNF and the truth
assignment that a SAT solver wrote for it, lists the values it takes, and
reports every clause that the assignment leaves unsatisfied, or that the
assignment satisfies the formula. It has no options and is meant to be
scripted: the manual page gives the file layouts exactly as read.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Libraries that satvet loads when first needed are no shared library that the
# program names, so dpkg-shlibdeps cannot see them: declared here, with the
# least versions that Debian's symbols files (shlibs where there is none) give
# for the functions satvet calls.
if(SATVET_LOAD_LIBRARIES)
  set(satvet_loaded_packages)
  foreach(format_package
      "gzip|zlib1g (>= 1:1.2.3.3.dfsg-1)" "xz|liblzma5 (>= 5.1.1alpha+20120614)" "bzip2|libbz2-1.0"
      "zstd|libzstd1 (>= 1.5.2)")
    string(FIND "${format_package}" "|" bar)
    string(SUBSTRING "${format_package}" 0 ${bar} format)
    math(EXPR after "${bar} + 1")
    string(SUBSTRING "${format_package}" ${after} -1 package)
    if(format IN_LIST SATVET_FORMATS)
      list(APPEND satvet_loaded_packages "${package}")
    endif()
  endforeach()
  list(JOIN satvet_loaded_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
