# The libraries and data the build needs.  Every one is looked for first; when some are missing, one
# configure error names them all with the Debian package that provides each (tools/debian-packages has
# the full list, and tools/install-deps.sh installs it).
set(CORVANTA_HERSHEY_FONT "/usr/share/hershey-fonts/futural.jhf" CACHE FILEPATH
    "Hershey Simplex Roman stroke font (futural.jhf of the Debian package hershey-fonts-data) for HP-GL labels")

set(corvanta_missing "")
set(corvanta_missing_packages "")
macro(corvanta_require_package name package)
  find_package(${name} ${ARGN} QUIET)
  if(NOT ${name}_FOUND)
    list(APPEND corvanta_missing "  ${name} (Debian package ${package})")
    list(APPEND corvanta_missing_packages ${package})
  endif()
endmacro()

# A cross build takes the host's header-only libraries: their headers alone, linked into a folder of the
# build tree, so that no other host header is seen.
macro(corvanta_require_host_headers name target header package)
  find_path(${name}_HOST_DIR ${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(${name}_HOST_DIR)
    get_filename_component(top ${header} DIRECTORY)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host-headers)
    file(CREATE_LINK ${${name}_HOST_DIR}/${top} ${CMAKE_BINARY_DIR}/host-headers/${top} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/host-headers)
  else()
    list(APPEND corvanta_missing "  ${name} (Debian package ${package})")
    list(APPEND corvanta_missing_packages ${package})
  endif()
endmacro()

find_package(Threads REQUIRED)
if(CMAKE_CROSSCOMPILING)
  corvanta_require_host_headers(CLI11 CLI11::CLI11 CLI/CLI.hpp libcli11-dev)
  corvanta_require_host_headers(nlohmann_json nlohmann_json::nlohmann_json nlohmann/json.hpp nlohmann-json3-dev)
  # No libxml2 is built for the cross target: the SVG reader is left out there (it says so).
  find_package(LibXml2 QUIET)
else()
  corvanta_require_package(CLI11 libcli11-dev)
  corvanta_require_package(nlohmann_json nlohmann-json3-dev 3)
  corvanta_require_package(LibXml2 libxml2-dev)
endif()
# stb_image is header-only: a cross build takes the host's header alone, like the other header-only libraries.
if(CMAKE_CROSSCOMPILING)
  corvanta_require_host_headers(stb corvanta_stb stb/stb_image.h libstb-dev)
else()
  find_path(CORVANTA_STB_INCLUDE_DIR stb/stb_image.h)
  if(CORVANTA_STB_INCLUDE_DIR)
    add_library(corvanta_stb INTERFACE IMPORTED)
    set_target_properties(corvanta_stb PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${CORVANTA_STB_INCLUDE_DIR})
  else()
    list(APPEND corvanta_missing "  stb_image (Debian package libstb-dev)")
    list(APPEND corvanta_missing_packages libstb-dev)
  endif()
endif()
if(NOT EXISTS "${CORVANTA_HERSHEY_FONT}")
  list(APPEND corvanta_missing
       "  the Hershey stroke font ${CORVANTA_HERSHEY_FONT} (Debian package hershey-fonts-data, or point -DCORVANTA_HERSHEY_FONT=... at a copy of futural.jhf)")
  list(APPEND corvanta_missing_packages hershey-fonts-data)
endif()

if(corvanta_missing)
  list(JOIN corvanta_missing "\n" missing_lines)
  list(JOIN corvanta_missing_packages " " missing_packages)
  message(FATAL_ERROR "corvanta cannot be built: missing\n${missing_lines}\n"
                      "Install them with: tools/install-deps.sh build   (or: apt-get install ${missing_packages})")
endif()
