pelora_benchmark(open_apps_menu LINK pelora_strip pelora_composition pelora_platform_linux Qt6::Widgets
    PkgConfig::XCB)
# The strip is built over the tests' fake platform; the benchmarks are also built without the
# tests, so the one fake that needs moc comes along.
target_include_directories(open_apps_menu PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_sources(open_apps_menu PRIVATE ${PROJECT_SOURCE_DIR}/tests/fakes/FakeRunningApplications.h)
