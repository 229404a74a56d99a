# Runs the built program, so it needs the whole bundle.
pelora_benchmark(startup_recent_index LINK Qt6::Core PkgConfig::GIO)
add_dependencies(startup_recent_index pelora)
target_compile_definitions(startup_recent_index PRIVATE PELORA_BUNDLE_DIR="${PELORA_BUNDLE_DIR}")
