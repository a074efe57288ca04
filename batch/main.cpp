// The batch front end; filled in with its own command.
int main() { return 2; }
