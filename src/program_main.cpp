// The installer's process entry: everything else starts from the wizard's entry.
int skyrill_main(int argc, char** argv);

int main(int argc, char** argv) { return skyrill_main(argc, argv); }
