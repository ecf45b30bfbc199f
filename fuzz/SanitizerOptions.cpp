// Settings every fuzz target starts with; the environment's own settings
// still take precedence.

// Undefined behaviour ends the run with its stack, as a crash does, so that
// libFuzzer keeps the input: reported and carried on from, an overflow
// would be lost among the runs.
extern "C" const char* __ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}

// Fontconfig keeps a cache for the life of the process that it never frees.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
