// Linked with one whole library of src/ and the libraries below it: when the library refers
// to anything of a folder above it, this program does not link.
int main() { return 0; }
