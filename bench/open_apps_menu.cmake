pelora_benchmark(open_apps_menu LINK pelora_strip pelora_fakes Qt6::Widgets)
