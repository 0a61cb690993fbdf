#include "app/startup.h"
#include "magnifier/vikaro.h"

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](Vikaro &window) { return window.exec(); });
}
