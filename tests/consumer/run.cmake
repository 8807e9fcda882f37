# Installs the built library into a fresh prefix, then configures, builds and runs the consumer
# project against it with find_package, and checks that pkg-config describes the same install.
# In a cross build (TOOLCHAIN set) the consumer is built with the same toolchain and run with the
# emulator (EMULATOR, "|"-separated), beside a copy of the DLL, where Windows looks for it.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
set(cross_options)
set(emulator)
if(TOOLCHAIN)
  # Escaped, since run() passes its arguments on as a list: each -D value stays one argument.
  string(REPLACE "|" "\\;" prefix_path "${prefix}|${PREFIX_PATH}")
  set(cross_options -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
  string(REPLACE "|" ";" emulator "${EMULATOR}")
else()
  set(prefix_path ${prefix})
endif()
if(NOT CXX OR NOT TOOLCHAIN)
  set(CXX c++)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/../support/run.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build "-DCMAKE_PREFIX_PATH=${prefix_path}"
    -DCMAKE_BUILD_TYPE=Release ${cross_options})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
file(GLOB dlls ${prefix}/bin/*.dll)
if(dlls)
  file(COPY ${dlls} DESTINATION ${WORK_DIR}/build)
  file(COPY ${dlls} DESTINATION ${WORK_DIR})
endif()
run(${emulator} ${WORK_DIR}/build/consumer${EXE_SUFFIX})
message(STATUS "${last_output}")

find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  file(GLOB_RECURSE pc_files ${prefix}/*/velxmln.pc)
  list(GET pc_files 0 pc_file)
  get_filename_component(pc_dir ${pc_file} DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${PKG_CONFIG} --cflags --libs velxmln)
  string(STRIP "${last_output}" flags)
  separate_arguments(flag_list UNIX_COMMAND "${flags}")
  if(TOOLCHAIN)
    set(rpath)
  else()
    set(rpath -Wl,-rpath,${prefix}/lib)
  endif()
  run(${CXX} -std=c++17 ${CONSUMER_DIR}/main.cpp ${flag_list} ${rpath} -o ${WORK_DIR}/consumer-pc${EXE_SUFFIX})
  run(${emulator} ${WORK_DIR}/consumer-pc${EXE_SUFFIX})
  message(STATUS "pkg-config: ${last_output}")
endif()

# The installed command starts from this prefix with no LD_LIBRARY_PATH: it holds the library's
# objects itself (on Windows the dependencies' DLLs are found as for the other programs).
run(${emulator} ${prefix}/bin/velxmln${EXE_SUFFIX} --version)
message(STATUS "installed command: ${last_output}")

# The examples folder is a project of its own: built against the install and run with ctest.
set(examples_emulator)
if(TOOLCHAIN)
  set(examples_emulator "-DCMAKE_CROSSCOMPILING_EMULATOR=${EMULATOR}")
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK_DIR}/examples
    "-DCMAKE_PREFIX_PATH=${prefix_path}" -DCMAKE_BUILD_TYPE=Release ${cross_options}
    ${examples_emulator})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/examples)
if(dlls)
  file(COPY ${dlls} DESTINATION ${WORK_DIR}/examples)
endif()
run(${CMAKE_COMMAND} -E chdir ${WORK_DIR}/examples ctest --output-on-failure)
message(STATUS "examples: built and run against the install")

# The Python package: installed by cmake --install for Debian's interpreter, and installable
# offline with pip into a venv that sees Debian's packages (setuptools, pybind11).
if(PYTHON)
  set(ENV{PYTHONPATH} ${prefix}/lib/python3/dist-packages)
  set(ENV{PYTHONDONTWRITEBYTECODE} 1)
  run(${PYTHON} ${SOURCE_DIR}/examples/python/plant.py ${SOURCE_DIR}/examples/data/plant.xml)
  unset(ENV{PYTHONPATH})
  run(${PYTHON} -m venv --system-site-packages ${WORK_DIR}/venv)
  # pip builds in the folder it is given: a copy keeps the source tree clean.
  file(COPY ${SOURCE_DIR}/python/ DESTINATION ${WORK_DIR}/python-source
    PATTERN build EXCLUDE PATTERN *.egg-info EXCLUDE)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${WORK_DIR}/venv/bin/pip install --quiet --no-index --no-build-isolation
      ${WORK_DIR}/python-source)
  run(${WORK_DIR}/venv/bin/python -c [=[
import velxmln
try:
    velxmln.fromstring(b"<a><b></a>")
except velxmln.XMLError as error:
    print("pip-installed package: XMLError at line", error.line, "column", error.column)
]=])
  message(STATUS "${last_output}")
endif()
