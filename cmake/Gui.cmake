# The Qt Widgets GUI: every source under app/, controls/, live/, discovery/
# and pages/ (plus dialogs in store/) forms the library ky_gui, which tests
# link; app/main.cpp alone makes the KyCameraTool executable.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
find_package(Qt6 QUIET COMPONENTS Multimedia OpenGLWidgets)

file(GLOB KY_GUI_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/app/*.cpp
     ${PROJECT_SOURCE_DIR}/controls/*.cpp
     ${PROJECT_SOURCE_DIR}/live/*.cpp
     ${PROJECT_SOURCE_DIR}/discovery/*.cpp
     ${PROJECT_SOURCE_DIR}/pages/*/*.cpp
     ${PROJECT_SOURCE_DIR}/store/*Dlg.cpp)
list(REMOVE_ITEM KY_GUI_SOURCES ${PROJECT_SOURCE_DIR}/app/main.cpp)
file(GLOB KY_GUI_HEADERS CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/app/*.h
     ${PROJECT_SOURCE_DIR}/controls/*.h
     ${PROJECT_SOURCE_DIR}/live/*.h
     ${PROJECT_SOURCE_DIR}/discovery/*.h
     ${PROJECT_SOURCE_DIR}/pages/*/*.h
     ${PROJECT_SOURCE_DIR}/store/*Dlg.h)

if(KY_GUI_SOURCES)
  add_library(ky_gui STATIC ${KY_GUI_SOURCES} ${KY_GUI_HEADERS})
  set_target_properties(ky_gui PROPERTIES AUTOMOC ON)
  target_include_directories(ky_gui PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(ky_gui PUBLIC kycore Qt6::Widgets)
  if(TARGET Qt6::Multimedia)
    target_link_libraries(ky_gui PUBLIC Qt6::Multimedia)
  endif()
  if(TARGET Qt6::OpenGLWidgets)
    target_link_libraries(ky_gui PUBLIC Qt6::OpenGLWidgets)
  endif()
  if(TARGET ky_sdk)
    target_link_libraries(ky_gui PUBLIC ky_sdk)
  endif()
  # One precompiled header for the Qt includes: halves a clean build.
  target_precompile_headers(ky_gui PRIVATE <QtWidgets/QtWidgets>)
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/app/main.cpp AND TARGET ky_gui)
  add_executable(KyCameraTool ${PROJECT_SOURCE_DIR}/app/main.cpp)
  target_link_libraries(KyCameraTool PRIVATE ky_gui)
endif()
