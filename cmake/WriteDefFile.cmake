# cmake -DLINKER_DEF=<in> -DDEF=<out> -DDLL=<name> -P WriteDefFile.cmake
# The linker's --output-def lists the exports but not the DLL they live in;
# other toolchains (lib /def, dlltool -d) want that name on a LIBRARY line.
file(READ "${LINKER_DEF}" _exports)
file(WRITE "${DEF}.tmp" "LIBRARY ${DLL}\n${_exports}")
file(RENAME "${DEF}.tmp" "${DEF}")
