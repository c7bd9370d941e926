# The Windows program links its libraries statically, and their licences ask for their notices
# to travel with the binary: the program folder's docs/licences holds one file per library.
# The texts are Debian's copyright files of the packages scripts/setup installs; the libraries
# scripts/windows-deps builds come from the same packages' sources, in the same versions.

# Pairs of the notice's name in docs/licences and the Debian package whose copyright file it is.
set(ZENDRIK_NOTICES
    curl libcurl4-openssl-dev
    libzip libzip-dev
    zlib libz-mingw-w64-dev
    pugixml libpugixml-dev
    fmt libfmt-dev
    nlohmann-json nlohmann-json3-dev
    gcc-runtime g++-mingw-w64-x86-64-posix  # libstdc++ and libgcc
    mingw-w64-runtime mingw-w64-x86-64-dev)  # the C runtime and winpthreads

# zendrik_install_notices(<destination>)
function(zendrik_install_notices destination)
  set(pairs ${ZENDRIK_NOTICES})
  while(pairs)
    list(POP_FRONT pairs name package)
    set(file /usr/share/doc/${package}/copyright)
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "${file} is missing: scripts/setup installs ${package}")
    endif()
    install(FILES ${file} DESTINATION ${destination} RENAME ${name}.txt)
  endwhile()
endfunction()
