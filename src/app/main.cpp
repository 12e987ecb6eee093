#include "app/shell/application.h"

int main(int argc, char** argv) { return kelvo_main(argc, argv); }
