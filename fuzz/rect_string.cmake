pelora_fuzzer(rect_string LINK pelora_common)
