pelora_benchmark(clipboard LINK pelora_clipboard pelora_strip pelora_platform_linux Qt6::Widgets)
# The menu is built over the tests' header-only fakes; the benchmarks are also built without
# the tests.
target_include_directories(clipboard PRIVATE ${PROJECT_SOURCE_DIR}/tests)
