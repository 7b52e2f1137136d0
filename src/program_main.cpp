// The installer's process entry: everything else starts from the wizard's entry.
int skyrill_main(int argc, char** argv);

// Release-builder mode, fixed per program: the installer is built with 0, the release builder
// (the same sources) with 1.
#ifndef SKY_IS_BUILD
#define SKY_IS_BUILD 0
#endif
extern const int is_build = SKY_IS_BUILD;

int main(int argc, char** argv) { return skyrill_main(argc, argv); }
