pelora_benchmark(clipboard LINK pelora_clipboard pelora_platform_linux Qt6::Widgets)
