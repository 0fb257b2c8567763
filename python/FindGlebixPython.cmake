# Looks for what the Python package needs: a Python 3 interpreter that imports NumPy,
# its development files, and pybind11. Sets GLEBIX_PYTHON_FOUND.
#
# The first python3 on the PATH may be one without NumPy (a pyenv or virtualenv
# shim); the interpreter taken is the first on the PATH, then /usr/bin/python3, that
# imports NumPy, unless Python3_EXECUTABLE is given.
if(NOT DEFINED Python3_EXECUTABLE)
  string(REPLACE ":" ";" _glebix_path "$ENV{PATH}")
  foreach(_glebix_dir IN LISTS _glebix_path ITEMS /usr/bin)
    if(EXISTS "${_glebix_dir}/python3")
      execute_process(COMMAND "${_glebix_dir}/python3" -c "import numpy"
                      RESULT_VARIABLE _glebix_rc OUTPUT_QUIET ERROR_QUIET)
      if(_glebix_rc EQUAL 0)
        set(Python3_EXECUTABLE "${_glebix_dir}/python3" CACHE FILEPATH "Python 3 interpreter of the glebix package")
        break()
      endif()
    endif()
  endforeach()
endif()

set(GLEBIX_PYTHON_FOUND OFF)
if(DEFINED Python3_EXECUTABLE)
  find_package(Python3 COMPONENTS Interpreter Development.Module QUIET)
  if(Python3_FOUND)
    find_package(pybind11 CONFIG QUIET)
    if(pybind11_FOUND)
      set(GLEBIX_PYTHON_FOUND ON)
    endif()
  endif()
endif()
