// Linked into every test program.

// fontconfig keeps part of its parsed configuration for the life of the
// process, and libwmf offers no way to free the picture it draws into: that
// is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libwmf-0.2.so\n";
}
