# Painting of the density map into an image (QtGui only): the plot window and the
# batch tool's snapshots share it. Included from the top level so that it exists
# also when the windows are not built.
find_package(Qt6 REQUIRED COMPONENTS Gui)
add_library(glebix_map_image STATIC
  ${CMAKE_CURRENT_LIST_DIR}/DensityMapImage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DensityMapImage.h
)
target_include_directories(glebix_map_image PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(glebix_map_image PUBLIC glebix_engine Qt6::Gui)
