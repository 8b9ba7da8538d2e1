# In a cross build, image_gen and embed_gen are built for the build machine
# (cmake/host-tools) and stand in for the targets of those names.
include(ExternalProject)
set(host_tools_dir ${PROJECT_BINARY_DIR}/host-tools)
ExternalProject_Add(reflash_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/host-tools
  BINARY_DIR ${host_tools_dir}
  CMAKE_ARGS -DREFLASH_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${host_tools_dir}/image_gen ${host_tools_dir}/embed_gen)
foreach(tool image_gen embed_gen)
  add_executable(${tool} IMPORTED GLOBAL)
  set_target_properties(${tool} PROPERTIES IMPORTED_LOCATION ${host_tools_dir}/${tool})
  add_dependencies(${tool} reflash_host_tools)
endforeach()
