#include "QuintarelApp.h"

int main(int argc, char **argv)
{
    return QuintarelApp::run(argc, argv);
}
