# Install step (install(SCRIPT)): writes share/tabrix/example.cfg from
# examples/example.cfg for where it is installed: the templates by their
# installed absolute paths, the headers and coding files into the current
# folder. Run as part of cmake --install and of cpack, with EXAMPLE (the
# source) and DATA_DIR (share/tabrix, relative to the prefix) set before.
file(READ "${EXAMPLE}" text)
set(templates "${CMAKE_INSTALL_PREFIX}/${DATA_DIR}/templates/")
string(REPLACE "Tables/TPL/" "${templates}" text "${text}")
string(REGEX REPLACE "(=[ ]*)out/" "\\1" text "${text}")
string(REPLACE ";   cd examples && ../build/tabrix /g:example.cfg\n"
               ";   mkdir tables && cd tables && tabrix /g:${CMAKE_INSTALL_PREFIX}/${DATA_DIR}/example.cfg\n" text "${text}")
string(REPLACE "so run the tool from the examples/ folder." "so run the tool from an empty folder: the tables land there." text "${text}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${DATA_DIR}/example.cfg")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${text}")
