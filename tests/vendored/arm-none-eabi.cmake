# The bare-metal ARM target with its C++ compiler too.
include(${CMAKE_CURRENT_LIST_DIR}/arm-none-eabi-c.cmake)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
