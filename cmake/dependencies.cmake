# Every dependency comes from a Debian package installed by scripts/setup.

set(VST3_SDK_DIR "/usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK"
    CACHE PATH "Root of the VST 3 SDK sources (pluginterfaces, base, public.sdk)")
if(NOT EXISTS "${VST3_SDK_DIR}/pluginterfaces/base/funknown.h")
  message(FATAL_ERROR "VST 3 SDK not found in ${VST3_SDK_DIR}; run scripts/setup")
endif()

# The SDK's interface definitions and helper classes, compiled once as a static library.
add_library(vst3sdk STATIC
  ${VST3_SDK_DIR}/pluginterfaces/base/conststringtable.cpp
  ${VST3_SDK_DIR}/pluginterfaces/base/coreiids.cpp
  ${VST3_SDK_DIR}/pluginterfaces/base/funknown.cpp
  ${VST3_SDK_DIR}/pluginterfaces/base/ustring.cpp
  ${VST3_SDK_DIR}/base/source/baseiids.cpp
  ${VST3_SDK_DIR}/base/source/fbuffer.cpp
  ${VST3_SDK_DIR}/base/source/fdebug.cpp
  ${VST3_SDK_DIR}/base/source/fobject.cpp
  ${VST3_SDK_DIR}/base/source/fstreamer.cpp
  ${VST3_SDK_DIR}/base/source/fstring.cpp
  ${VST3_SDK_DIR}/base/source/updatehandler.cpp
  ${VST3_SDK_DIR}/base/thread/source/flock.cpp
  ${VST3_SDK_DIR}/public.sdk/source/common/memorystream.cpp
  ${VST3_SDK_DIR}/public.sdk/source/common/pluginview.cpp
  ${VST3_SDK_DIR}/public.sdk/source/vst/vstbus.cpp
  ${VST3_SDK_DIR}/public.sdk/source/vst/vstcomponent.cpp
  ${VST3_SDK_DIR}/public.sdk/source/vst/vstcomponentbase.cpp
  ${VST3_SDK_DIR}/public.sdk/source/vst/vsteditcontroller.cpp
  ${VST3_SDK_DIR}/public.sdk/source/vst/vstinitiids.cpp
  ${VST3_SDK_DIR}/public.sdk/source/vst/vstparameters.cpp
  ${VST3_SDK_DIR}/public.sdk/source/vst/hosting/hostclasses.cpp
  ${VST3_SDK_DIR}/public.sdk/source/vst/hosting/pluginterfacesupport.cpp
  # interface ids the installed sources declare but never define
  ${PROJECT_SOURCE_DIR}/sdk/gui_iids.cpp
)
target_include_directories(vst3sdk SYSTEM PUBLIC ${VST3_SDK_DIR})
target_compile_definitions(vst3sdk PUBLIC RELEASE=1)
target_compile_options(vst3sdk PRIVATE -w)
set_target_properties(vst3sdk PROPERTIES POSITION_INDEPENDENT_CODE ON)

# picojson is header-only; its failed checks throw std::runtime_error.
# It is copied into the build tree so that a cross build does not see the host's /usr/include.
set(PICOJSON_HEADER "/usr/include/picojson.h" CACHE FILEPATH "picojson's single header")
if(NOT EXISTS "${PICOJSON_HEADER}")
  message(FATAL_ERROR "picojson not found at ${PICOJSON_HEADER}; run scripts/setup")
endif()
configure_file(${PICOJSON_HEADER} ${CMAKE_BINARY_DIR}/deps/picojson/picojson.h COPYONLY)
add_library(picojson INTERFACE)
target_include_directories(picojson SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/deps/picojson)

# fst: the VST 2 ABI headers, copied into the build tree the same way. fst.h flags its
# unconfirmed names with #warning, which GCC reports even from system headers.
set(FST_DIR "/usr/include/pluginterfaces/fst" CACHE PATH "Directory of fst.h")
if(NOT EXISTS "${FST_DIR}/fst.h")
  message(FATAL_ERROR "fst not found in ${FST_DIR}; run scripts/setup")
endif()
foreach(header fst.h aeffect.h aeffectx.h)
  configure_file(${FST_DIR}/${header} ${CMAKE_BINARY_DIR}/deps/fst/${header} COPYONLY)
endforeach()
add_library(fst INTERFACE)
target_include_directories(fst SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/deps/fst)
target_compile_options(fst INTERFACE -Wno-cpp)

# GoogleTest: the Debian build natively, built from its sources for Windows.
if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
  find_package(Threads REQUIRED)
endif()
