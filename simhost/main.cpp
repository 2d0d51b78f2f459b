// Placeholder until the stand-in lands.
int main() { return 0; }
