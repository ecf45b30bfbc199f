// Fontconfig keeps a cache for the life of the process that it never frees;
// the leak checker of sanitized builds is told so, and nothing else.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
