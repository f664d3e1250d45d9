// zel_app: the desktop program that converts directory trees of raw frames into ZEL images
// and back.
#include "app_start.h"

int main(int argc, char** argv) { return urs::zel::RunZelApp(argc, argv); }
