// The benchmark's yardstick for start-up: a program that only returns, built
// as FileCopy.exe is.
int main() { return 0; }
