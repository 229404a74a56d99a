pelora_fuzzer(defaults_file LINK pelora_platform_linux)
# The printer of `pelora defaults read`, without the rest of the app library.
target_sources(defaults_file PRIVATE ${PROJECT_SOURCE_DIR}/src/app/DefaultsTool.cpp)
