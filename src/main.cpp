#include "kivstartup.h"

int main(int argc, char **argv)
{
    return kiv::KivMain(argc, argv);
}
