# Run by cpack after it has built the Debian package. CPack gives a package maintainer
# scripts that call ldconfig as soon as a shared object lies under /usr/lib, and our importer
# plug-in does, in the programs' private folder where the linker never looks. Such calls are
# useless there, and wrong anyway (a trigger does it in Debian), so the package is built
# again from its own contents without those scripts.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.deb$")
        continue()
    endif()
    set(tree "${CPACK_TOPLEVEL_DIRECTORY}/without-ldconfig")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb --raw-extract "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    execute_process(COMMAND dpkg-deb --root-owner-group --build "${tree}" "${package}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
