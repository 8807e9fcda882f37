# Makes the Debian packages with CPack, unpacks them into a scratch root with dpkg-deb -x (never
# into the machine's own system, whose leftovers would hide faults), checks what they declare and
# hold, then builds and runs a consumer, the command and the Python package from that root alone.
file(REMOVE_RECURSE ${WORK_DIR})
set(root ${WORK_DIR}/root)

include(${CMAKE_CURRENT_LIST_DIR}/../support/run.cmake)

function(expect text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: expected to match '${pattern}', got:\n${text}")
  endif()
endfunction()

run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/packages)
set(library_deb ${WORK_DIR}/packages/velxmln_${VERSION}_amd64.deb)
set(python_deb ${WORK_DIR}/packages/python3-velxmln_${VERSION}_amd64.deb)

# What the packages declare: dependencies found by dpkg-shlibdeps, on Debian's package names.
run(dpkg-deb -f ${library_deb} Depends)
expect("${last_output}" "libxerces-c3\\.2" "velxmln Depends")
expect("${last_output}" "libstdc\\+\\+6" "velxmln Depends")
run(dpkg-deb -f ${python_deb} Depends)
expect("${last_output}" "velxmln \\(= ${VERSION}\\)" "python3-velxmln Depends")
expect("${last_output}" "python3 \\(>= 3\\.[0-9]+\\), python3 \\(<< 3\\.[0-9]+\\)"
  "python3-velxmln Depends")
run(dpkg-deb --ctrl-tarfile ${library_deb})

run(dpkg-deb -x ${library_deb} ${root})
run(dpkg-deb -x ${python_deb} ${root})
foreach(file usr/include/VelXmlN/VelXmlN.h usr/include/VelXmlN/velxmln.h
    usr/lib/cmake/VelXmlN/VelXmlNConfig.cmake usr/lib/pkgconfig/velxmln.pc
    usr/share/man/man1/velxmln.1.gz usr/bin/velxmln usr/lib/python3/dist-packages/velxmln/__init__.py)
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "the packages hold no ${file}")
  endif()
endforeach()
file(GLOB library ${root}/usr/lib/libvelxmln.so.*.*)
run(readelf -d ${library})
expect("${last_output}" "SONAME\\)[^\n]*\\[libvelxmln\\.so\\.1\\]" "the library's SONAME")

# The command starts from the unpacked root (it holds the library's objects itself).
run(${root}/usr/bin/velxmln --version)
expect("${last_output}" "velxmln ${VERSION}" "velxmln --version")

# A consumer built with find_package against the root, and its library resolved inside it.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -DCMAKE_PREFIX_PATH=${root}/usr
    -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer)
expect("${last_output}" "consumer ok" "the consumer")
run(ldd ${WORK_DIR}/consumer/consumer)
expect("${last_output}" "libvelxmln\\.so\\.1 => ${root}/usr/lib/" "the consumer's library")

# The Python package from the root, with Debian's interpreter, loading the root's library.
if(PYTHON)
  set(ENV{PYTHONPATH} ${root}/usr/lib/python3/dist-packages)
  set(ENV{PYTHONDONTWRITEBYTECODE} 1)
  run(${PYTHON} -c [=[
import velxmln
assert velxmln.__file__.startswith(__import__("os").environ["PYTHONPATH"]), velxmln.__file__
maps = open("/proc/self/maps").read()
assert __import__("os").environ["PYTHONPATH"].split("/usr/")[0] + "/usr/lib/libvelxmln.so" in maps
try:
    velxmln.fromstring(b"<a><b></a>")
except velxmln.XMLError as error:
    print("packaged module: XMLError at line", error.line, "column", error.column)
]=])
  expect("${last_output}" "XMLError at line 1 column 9" "the packaged Python module")
endif()
message(STATUS "packages checked: ${library_deb} ${python_deb}")
