// Linked into every test program, and into the programs of a sanitizer build.

// fontconfig keeps part of its parsed configuration for the life of the
// process, libwmf offers no way to free the picture it draws into, and
// libXrandr keeps its extension record when asked on a server without the
// extension: that is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libwmf-0.2.so\nleak:libXrandr.so\n";
}

// The decoder's standard error is the caller's message: a list of the
// suppressions used would read as one.
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
