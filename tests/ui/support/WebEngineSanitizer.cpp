// Linked into the WebEngine test programs of sanitizer builds only. Chromium inside
// libQt6WebEngineCore frees some objects through a base class without a virtual
// destructor and keeps allocations of its own threads to the end: both are its faults,
// not ours, and would abort every run; so do the caches of fontconfig, which Chromium
// fills. Everything else stays checked, in our code too.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore\nleak:libfontconfig.so\n";
}
