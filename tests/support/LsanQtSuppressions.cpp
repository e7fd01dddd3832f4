// Link into a Qt test program: fontconfig keeps its caches for the life of the process,
// which LeakSanitizer reports at exit. Our own code stays fully checked.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
