/* A library that only carries a version resource for the reader's tests. */
int pelvane_version_fixture(void) { return 0; }
