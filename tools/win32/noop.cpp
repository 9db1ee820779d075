// Returns at once: the cost of starting a Windows program under Wine, for the
// benchmark to set against a full update run.
int main() { return 0; }
