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
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
