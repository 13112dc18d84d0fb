// Sanitizer settings built into every test program, so they hold however the program is
// started (ctest, a debugger, by hand). The sanitizer runtimes look these hooks up; in a
// build without sanitizers nothing calls them.

extern "C" {

const char* __asan_default_options() {
    return "detect_leaks=1:abort_on_error=1";
}

const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

// Process-lifetime allocations of system libraries that are never freed by design.
const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n"
           "leak:libdbus\n"
           "leak:libglib\n"
           "leak:libX11\n"
           "leak:libxcb\n";
}

}  // extern "C"
