// Under the leak checker, the font configuration library keeps allocations of
// its own to the end of the process (more so when two threads read the
// configuration at once); they are not reported. The sanitizer runtime asks
// for this function by its name.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
    return "leak:libfontconfig.so\n";
}
