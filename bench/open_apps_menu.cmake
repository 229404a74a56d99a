pelora_benchmark(open_apps_menu LINK pelora_strip Qt6::Widgets PkgConfig::XCB)
# The window system and workspace are the tests' header-only fakes; the benchmarks are also
# built without the tests.
target_include_directories(open_apps_menu PRIVATE ${PROJECT_SOURCE_DIR}/tests)
