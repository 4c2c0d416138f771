// Entry point of the Linux edition. Filled in with the X11 backend.
int main() { return 0; }
