// Starts the program.
#include "app/application.h"

int main(int argc, char** argv)
{
    return quirelle::runApplication(argc, argv);
}
