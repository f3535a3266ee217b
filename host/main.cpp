#include "host/demoHost.h"
#include "platform/console.h"

int main(int argc, char** argv)
{
    platformAttachConsole();
    return runDemo(argc, argv);
}
