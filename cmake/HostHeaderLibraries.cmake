# When cross-building, the two header-only libraries (JSON, CLI11) come from
# the build machine's /usr/include. That folder itself must not be searched,
# or glibc's headers would shadow the target's; each library gets a folder
# holding only a link to its headers, under the same target names that
# find_package gives a native build.
set(host_include ${CMAKE_BINARY_DIR}/host-include)
foreach(entry "nlohmann_json::nlohmann_json|nlohmann/json.hpp" "CLI11::CLI11|CLI/CLI.hpp")
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 target)
  list(GET entry 1 header)
  get_filename_component(folder ${header} DIRECTORY)
  find_path(TORVIX_HOST_${folder}_ROOT ${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  file(MAKE_DIRECTORY ${host_include})
  file(CREATE_LINK ${TORVIX_HOST_${folder}_ROOT}/${folder} ${host_include}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${host_include}
                                             INTERFACE_INCLUDE_DIRECTORIES ${host_include})
endforeach()
