pelora_benchmark(clipboard LINK pelora_clipboard pelora_strip pelora_composition pelora_platform_linux Qt6::Widgets)
# The menu is built over the tests' fake platform; the benchmarks are also built without the
# tests, so the one fake that needs moc comes along.
target_include_directories(clipboard PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_sources(clipboard PRIVATE ${PROJECT_SOURCE_DIR}/tests/fakes/FakeRunningApplications.h)
