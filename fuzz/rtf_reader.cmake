pelora_fuzzer(rtf_reader LINK pelora_common)
