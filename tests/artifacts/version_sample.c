/* A program that only carries a version resource with a vendor's texts. */
int main(void) { return 0; }
