#include "host/demoHost.h"
#include "platform/system/console.h"

int main(int argc, char** argv)
{
    platformAttachConsole();
    return runDemo(argc, argv);
}
