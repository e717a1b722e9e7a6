# famgen's package configuration: find_package(famgen) gives the target famgen::famgen.
include(CMakeFindDependencyMacro)
find_dependency(Threads)
include("${CMAKE_CURRENT_LIST_DIR}/famgenTargets.cmake")
