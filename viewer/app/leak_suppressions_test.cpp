// Under the leak checker, the font configuration library that Qt loads for
// the forms' texts keeps allocations of its own to the end; they are not
// reported. The sanitizer runtime asks for this function by its name.
extern "C" const char* __lsan_default_suppressions() {  // NOLINT(bugprone-reserved-identifier)
    return "leak:libfontconfig.so\n";
}
