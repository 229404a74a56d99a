pelora_fuzzer(history_records LINK pelora_history)
# The services around the history are the tests' fakes; the one that needs moc comes along.
target_include_directories(history_records PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_sources(history_records PRIVATE ${PROJECT_SOURCE_DIR}/tests/fakes/FakeRunningApplications.h)
