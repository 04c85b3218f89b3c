# Installing a program the way every one of ours is installed: the binary in
# bin/, its manual page gzipped in share/man/man1/ and, for a program that runs
# for the whole session, its systemd user unit in lib/systemd/user/.
#
#   wendel_install_program(<target> MAN <page.1> [USER_UNIT <unit file>])
#
# Paths are relative to the calling folder. A unit file may name installed
# programs as @WENDEL_BINDIR@/name: the bin folder of the prefix it is
# installed under.
include_guard(GLOBAL)
include(GNUInstallDirs)

# systemd reads user units from lib/systemd/user under /usr and /usr/local;
# never the multiarch lib folder.
set(WENDEL_USER_UNIT_DIR lib/systemd/user)
# Named after the package, as Debian and the man pages expect.
set(WENDEL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/wendelsaver)

find_program(WENDEL_GZIP gzip REQUIRED)

# Debian wants manual pages and changelogs compressed with gzip -9n: no name
# and no time stamp inside, so the same text always gives the same bytes.
# Adds a target that makes `packed` from `source` in every build.
function(wendel_gzip source packed)
  get_filename_component(name ${packed} NAME)
  add_custom_command(
    OUTPUT ${packed}
    COMMAND sh -c "\"$1\" -9nc \"$2\" > \"$3\"" sh ${WENDEL_GZIP} ${source} ${packed}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${name} id)
  add_custom_target(gzip_${id} ALL DEPENDS ${packed})
endfunction()

function(wendel_install_man page)
  get_filename_component(name ${page} NAME)
  get_filename_component(source ${page} ABSOLUTE)
  string(REGEX MATCH "[0-9]$" section ${name})
  wendel_gzip(${source} ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()

# The unit is configured when it is installed, not when the build is
# configured, so that `cmake --install --prefix P` and the package get units
# naming P's programs.
function(wendel_install_user_unit unit)
  get_filename_component(source ${unit} ABSOLUTE)
  get_filename_component(name ${source} NAME)
  string(REGEX REPLACE "\\.in$" "" name ${name})
  # A folder of its own for each install: installs may run side by side.
  install(CODE "
    set(WENDEL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    string(RANDOM LENGTH 16 stage)
    set(stage \"${CMAKE_CURRENT_BINARY_DIR}/user-units/\${stage}\")
    configure_file(\"${source}\" \"\${stage}/${name}\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${WENDEL_USER_UNIT_DIR}\" TYPE FILE FILES \"\${stage}/${name}\")
    file(REMOVE_RECURSE \"\${stage}\")
  ")
endfunction()

function(wendel_install_program target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "MAN;USER_UNIT" "")
  if(NOT ARG_MAN)
    message(FATAL_ERROR "wendel_install_program(${target}): every installed program has a manual page (MAN)")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  wendel_install_man(${ARG_MAN})
  if(ARG_USER_UNIT)
    wendel_install_user_unit(${ARG_USER_UNIT})
  endif()
endfunction()
