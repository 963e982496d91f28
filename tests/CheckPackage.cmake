# The Debian package as a person's machine receives it: made by CPack from
# the build in BUILD (into WORK), holding every file the installed program
# needs under /usr and nothing else, with the dependencies its binaries
# need, a menu entry and AppStream metadata that pass their validators, man
# pages, and commands that run.
#   cmake -DBUILD=<build folder> -DWORK=<scratch folder> -P CheckPackage.cmake

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT code EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed (${code}):\n${out}${err}")
    endif()
    set(output "${out}${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
run(cpack --config ${BUILD}/CPackConfig.cmake -B ${WORK})
file(GLOB package ${WORK}/kolvara_*.deb)
if(NOT package)
    message(FATAL_ERROR "CPack wrote no kolvara_*.deb:\n${output}")
endif()

run(dpkg-deb --field ${package} Package Depends)
foreach(needed "Package: kolvara" libqt6widgets6 libqt6gui6 libsqlite3-0 libpq5 libmdb3 qt6-qpa-plugins)
    string(FIND "${output}" "${needed}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the package does not depend on ${needed}:\n${output}")
    endif()
endforeach()

run(dpkg-deb --contents ${package})
set(contents "${output}")
set(id org.kolvara.Kolvara)
set(expected
    usr/bin/kolvara usr/bin/kolvara-make-register usr/bin/kolvara-import-jet usr/bin/kolvara-copy-register usr/bin/kolvara-export
    usr/bin/kolvara-backup
    usr/share/kolvara/sample.mdb usr/share/kolvara/empty.mdb usr/share/kolvara/stamp-postgresql.sql
    usr/share/applications/${id}.desktop usr/share/metainfo/${id}.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/${id}.svg usr/share/icons/hicolor/48x48/apps/${id}.png
    usr/share/icons/hicolor/256x256/apps/${id}.png
    usr/share/man/man1/kolvara.1.gz usr/share/man/man1/kolvara-make-register.1.gz
    usr/share/man/man1/kolvara-import-jet.1.gz usr/share/man/man1/kolvara-copy-register.1.gz usr/share/man/man1/kolvara-export.1.gz
    usr/share/man/man1/kolvara-backup.1.gz
    usr/share/doc/kolvara/copyright)
foreach(path ${expected})
    string(FIND "${contents}" " ./${path}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the package lacks /${path}:\n${contents}")
    endif()
endforeach()
string(REGEX MATCH " \\./[^u\n][^\n]*|\\./usr/[^bs\n][^\n]*" stray "${contents}")
if(stray)
    message(FATAL_ERROR "the package installs outside /usr/bin and /usr/share: ${stray}")
endif()

set(root ${WORK}/root)
run(dpkg-deb --extract ${package} ${root})
run(desktop-file-validate ${root}/usr/share/applications/${id}.desktop)
if(output)
    message(FATAL_ERROR "desktop-file-validate: ${output}")
endif()
run(appstreamcli validate --no-net ${root}/usr/share/metainfo/${id}.metainfo.xml)

foreach(command kolvara kolvara-make-register kolvara-import-jet kolvara-copy-register kolvara-export
        kolvara-backup)
    run(${root}/usr/bin/${command} --version)
    if(NOT output STREQUAL "${command} ${VERSION}\n")
        message(FATAL_ERROR "${command} --version said: ${output}")
    endif()
    run(gzip -dc ${root}/usr/share/man/man1/${command}.1.gz)
    string(FIND "${output}" ".SH NAME\n${command} \\- " at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the man page of ${command} has no NAME:\n${output}")
    endif()
endforeach()

# The registers the first start offers are registers of the program.
foreach(offered sample empty)
    file(SIZE ${root}/usr/share/kolvara/${offered}.mdb size)
    file(READ ${root}/usr/share/kolvara/${offered}.mdb magic LIMIT 16 HEX)
    if(size LESS 4096 OR NOT magic STREQUAL "53514c69746520666f726d6174203300")
        message(FATAL_ERROR "${offered}.mdb is not a register")
    endif()
endforeach()
message(STATUS "${package}: every file, dependency and validator in order")
